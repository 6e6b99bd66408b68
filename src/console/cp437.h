// Code page 437 and Unicode: the glyph each byte shows on screen, and back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The Unicode code point of the glyph byte `c` shows: the PC glyphs for
// 0x01-0x1F and 0x7F (☺ ☻ ♥ … ⌂), box drawing and letters above 0x7F; 0x00 is a blank.
char32_t cp437ToUnicode(unsigned char c);

// The UTF-8 form of the glyph of `c`.
std::string cp437ToUtf8(unsigned char c);

// A whole code page 437 text in UTF-8, byte by byte as the screen shows it.
std::string cp437StringToUtf8(std::string_view text);

// The code page 437 byte whose glyph is `codePoint`, or -1 when it has none.
// ASCII 0x20-0x7E map to themselves.
int unicodeToCp437(char32_t codePoint);

// Converts a UTF-8 text to code page 437. Returns false (leaving `out`
// unspecified) when the text is not valid UTF-8 or holds a character with no form.
bool utf8ToCp437(std::string_view text, std::string* out);
