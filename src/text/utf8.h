// One step of UTF-8: decode the code point at a position, or encode one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Decodes the UTF-8 sequence that starts at `text[at]` (at < text.size()).
// Returns its length in bytes (1 to 4) with the code point in `*codePoint`, or
// 0 when the bytes there are no valid UTF-8 (a stray continuation byte, a cut
// sequence, an overlong form, a surrogate or a value past U+10FFFF).
constexpr size_t decodeUtf8(std::string_view text, size_t at, char32_t* codePoint) {
    const auto lead = static_cast<unsigned char>(text[at]);
    size_t length = 0;
    char32_t value = 0;
    char32_t smallest = 0;
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1F;
        smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0F;
        smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07;
        smallest = 0x10000;
    } else {
        return 0;
    }
    if (length > text.size() - at)
        return 0;
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (next & 0x3F);
    }
    if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *codePoint = value;
    return length;
}

// Calls `visit(codePoint, bytes)` for each character of `text` in turn, `bytes`
// being its UTF-8 form in `text`; a byte that starts no valid sequence comes
// alone, with BROKEN_UTF8 (past U+10FFFF, so no character) as its code point,
// and the walk goes on after it.
constexpr char32_t BROKEN_UTF8 = 0xFFFFFFFF;

template <typename Visit>
constexpr void forEachUtf8(std::string_view text, Visit&& visit) {
    size_t at = 0;
    while (at < text.size()) {
        char32_t codePoint = 0;
        size_t length = decodeUtf8(text, at, &codePoint);
        if (length == 0) {
            codePoint = BROKEN_UTF8;
            length = 1;
        }
        visit(codePoint, text.substr(at, length));
        at += length;
    }
}

// Appends the UTF-8 form of `codePoint` (at most U+10FFFF, no surrogate) to `out`.
void appendUtf8(std::string* out, char32_t codePoint);
