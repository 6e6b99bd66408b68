// The characters the Windows console gets for code page 437 cells.
#include <gtest/gtest.h>

#include <string>

#include "platform/windows/console_glyphs.h"
#include "text/cp437.h"

namespace {

std::u16string drawn(const char* cp437, bool asciiOnly) {
    std::u16string out;
    for (const char* c = cp437; *c != '\0'; ++c)
        out += consoleGlyph(static_cast<unsigned char>(*c), asciiOnly);
    return out;
}

TEST(WindowsConsoleGlyphs, EastAsianCodePagesGetAscii) {
    for (unsigned codePage : {932u, 936u, 949u, 950u})
        EXPECT_TRUE(consoleDrawsWideGlyphs(codePage)) << codePage;
    for (unsigned codePage : {437u, 850u, 1252u, 65001u, 0u})
        EXPECT_FALSE(consoleDrawsWideGlyphs(codePage)) << codePage;
}

TEST(WindowsConsoleGlyphs, FramesArrowsAndLettersInAscii) {
    constexpr Cp437Text panelRow{"╔═╤╗║GFX│►NO-RIP◄║╚═╧╝┌─┬┐└┘├┤┼"};
    EXPECT_EQ(drawn(panelRow.text, true), u"+-++|GFX|>NO-RIP<|+-+++-+++++++");
    constexpr Cp437Text others{"░▓█↑↓←→▲▼Çüé½ñ"};
    EXPECT_EQ(drawn(others.text, true), u"###^v<>^vCue%n");
    // Elsewhere every byte keeps its glyph; 0 is a blank either way.
    EXPECT_EQ(drawn(panelRow.text, false), u"╔═╤╗║GFX│►NO-RIP◄║╚═╧╝┌─┬┐└┘├┤┼");
    EXPECT_EQ(consoleGlyph(0, false), u' ');
    EXPECT_EQ(consoleGlyph(0, true), u' ');
}

TEST(WindowsConsoleGlyphs, EveryByteHasOneCellOfAscii) {
    for (int byte = 0; byte < 256; ++byte) {
        char16_t glyph = consoleGlyph(static_cast<unsigned char>(byte), true);
        EXPECT_TRUE(glyph >= 0x20 && glyph < 0x7F) << "byte " << byte;
        if (byte >= 0x20 && byte < 0x7F) {
            EXPECT_EQ(glyph, byte);
        }
    }
}

}  // namespace
