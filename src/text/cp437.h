// Code page 437 and Unicode: the glyph each byte shows on screen, and back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/utf8.h"

// The Unicode glyph of every code page 437 byte, as the screen shows it.
// 0x00 is a blank; 0x01-0x1F and 0x7F are the PC glyphs, not control characters.
inline constexpr char16_t CP437_GLYPHS[256] = {
    0x0020, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,  // 00
    0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,  // 08
    0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,  // 10
    0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,  // 18
    0x0020, 0x0021, 0x0022, 0x0023, 0x0024, 0x0025, 0x0026, 0x0027,  // 20
    0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F,  // 28
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,  // 30
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,  // 38
    0x0040, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047,  // 40
    0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F,  // 48
    0x0050, 0x0051, 0x0052, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057,  // 50
    0x0058, 0x0059, 0x005A, 0x005B, 0x005C, 0x005D, 0x005E, 0x005F,  // 58
    0x0060, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067,  // 60
    0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F,  // 68
    0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077,  // 70
    0x0078, 0x0079, 0x007A, 0x007B, 0x007C, 0x007D, 0x007E, 0x2302,  // 78
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,  // 88
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 90
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,  // 98
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // A0
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,  // A8
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // B0
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,  // B8
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,  // C8
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // D0
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,  // D8
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,  // E0
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,  // E8
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,  // F0
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,  // F8
};

// The Unicode code point of the glyph byte `c` shows: the PC glyphs for
// 0x01-0x1F and 0x7F (☺ ☻ ♥ … ⌂), box drawing and letters above 0x7F; 0x00 is a blank.
char32_t cp437ToUnicode(unsigned char c);

// The UTF-8 form of the glyph of `c`.
std::string cp437ToUtf8(unsigned char c);

// A whole code page 437 text in UTF-8, byte by byte as the screen shows it.
std::string cp437StringToUtf8(std::string_view text);

// A code page 437 name or text in UTF-8 as a reader expects it: control bytes
// (below 0x20 and 0x7F) kept as themselves, every byte above 0x7F as its glyph.
// Pass the result through escapeControls (text/escape.h) before a terminal.
std::string cp437TextToUtf8(std::string_view text);

// The code page 437 byte whose glyph is `codePoint`, or -1 when it has none.
// ASCII 0x20-0x7E map to themselves; control characters have no form.
int unicodeToCp437(char32_t codePoint);

// Converts a UTF-8 text to code page 437. Returns false (leaving `out`
// unspecified) when the text is not valid UTF-8 or holds a character with no form.
bool utf8ToCp437(std::string_view text, std::string* out);

namespace cp437_detail {

constexpr int fromUnicode(char32_t codePoint) {
    if (codePoint >= 0x20 && codePoint <= 0x7E)
        return static_cast<int>(codePoint);
    if (codePoint == 0x03B2)
        return 0xE1;  // beta is drawn with the sharp s
    if (codePoint == 0x03BC)
        return 0xE6;  // Greek mu and the micro sign share a glyph
    if (codePoint == 0x2211)
        return 0xE4;  // n-ary sum and capital sigma share a glyph
    for (int i = 1; i < 256; ++i) {
        if (i >= 0x20 && i <= 0x7E)
            continue;
        if (CP437_GLYPHS[i] == codePoint)
            return i;
    }
    return -1;
}

}  // namespace cp437_detail

// A code page 437 text made at compile time from a UTF-8 literal, so that
// screen texts can be written as they look: `constexpr Cp437Text t{"╔═►"};`.
// A character with no code page 437 form stops the build.
template <std::size_t N>
struct Cp437Text {
    char text[N] = {};
    std::size_t length = 0;

    consteval Cp437Text(const char (&utf8)[N]) {
        std::size_t i = 0;
        const std::string_view source(utf8, N - 1);
        while (i < source.size() && source[i] != 0) {
            char32_t codePoint = 0;
            const std::size_t step = decodeUtf8(source, i, &codePoint);
            if (step == 0)
                throw "invalid UTF-8";
            i += step;
            int byte = codePoint < 0x20 ? static_cast<int>(codePoint)
                                        : cp437_detail::fromUnicode(codePoint);
            if (byte < 0)
                throw "character without a code page 437 form";
            text[length++] = static_cast<char>(byte);
        }
        text[length] = 0;
    }
    constexpr const char* c_str() const { return text; }
    constexpr operator const char*() const { return text; }
};
