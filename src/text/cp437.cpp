// Conversions between code page 437 bytes and their Unicode glyphs.
#include "text/cp437.h"

namespace {

// Reverse table built once: code points below 0x2600 cover every glyph.
struct ReverseTable {
    int16_t byteOf[0x2600];
    ReverseTable() {
        for (int cp = 0; cp < 0x2600; ++cp)
            byteOf[cp] = static_cast<int16_t>(cp437_detail::fromUnicode(static_cast<char32_t>(cp)));
    }
};

const ReverseTable& reverseTable() {
    static const ReverseTable table;
    return table;
}

}  // namespace

char32_t cp437ToUnicode(unsigned char c) {
    return CP437_GLYPHS[c];
}

std::string cp437ToUtf8(unsigned char c) {
    std::string out;
    appendUtf8(&out, CP437_GLYPHS[c]);
    return out;
}

std::string cp437StringToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (char c : text) appendUtf8(&out, CP437_GLYPHS[static_cast<unsigned char>(c)]);
    return out;
}

int unicodeToCp437(char32_t codePoint) {
    if (codePoint < 0x2600)
        return reverseTable().byteOf[codePoint];
    return cp437_detail::fromUnicode(codePoint);
}

std::string cp437TextToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            out.push_back(c);
        else
            appendUtf8(&out, CP437_GLYPHS[byte]);
    }
    return out;
}

bool utf8ToCp437(std::string_view text, std::string* out) {
    out->clear();
    bool whole = true;
    forEachUtf8(text, [&](char32_t codePoint, std::string_view) {
        // Control characters (tab, line ends) pass through as themselves.
        // A broken byte (BROKEN_UTF8) has no form.
        const int byte = codePoint < 0x20 ? static_cast<int>(codePoint) : unicodeToCp437(codePoint);
        if (byte < 0)
            whole = false;
        else
            out->push_back(static_cast<char>(byte));
    });
    return whole;
}
