#include "text/cp437.h"

#include <gtest/gtest.h>

TEST(Cp437, GlyphsOfSelectedBytes) {
    struct Case {
        unsigned char byte;
        const char* utf8;
    };
    const Case cases[] = {
        {0x00, " "}, {0x01, "☺"}, {0x03, "♥"}, {0x10, "►"},      {0x11, "◄"}, {0x12, "↕"},
        {0x18, "↑"}, {0x19, "↓"}, {0x1A, "→"}, {0x1B, "←"},      {0x41, "A"}, {0x7F, "⌂"},
        {0x80, "Ç"}, {0x9B, "¢"}, {0xB3, "│"}, {0xBA, "║"},      {0xC9, "╔"}, {0xCD, "═"},
        {0xDB, "█"}, {0xE1, "ß"}, {0xFB, "√"}, {0xFF, "\u00A0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cp437ToUtf8(c.byte), c.utf8) << "byte " << int(c.byte);
    }
    EXPECT_EQ(cp437StringToUtf8("\xC9\xCD\x10 a\x11"), "╔═► a◄");
}

TEST(Cp437, NoByteShowsAsAControlCharacter) {
    // An archive name holding ESC or a C1 byte must never reach the terminal raw.
    for (int b = 0; b < 256; ++b) {
        char32_t cp = cp437ToUnicode(static_cast<unsigned char>(b));
        EXPECT_GE(cp, 0x20u) << b;
        EXPECT_FALSE(cp >= 0x7F && cp <= 0x9F) << b;
    }
}

TEST(Cp437, EveryGlyphMapsBackToItsByte) {
    for (int b = 1; b < 256; ++b) {
        EXPECT_EQ(unicodeToCp437(cp437ToUnicode(static_cast<unsigned char>(b))), b) << b;
    }
    EXPECT_EQ(unicodeToCp437(U' '), 0x20);
    EXPECT_EQ(unicodeToCp437(U'\u20AC'), -1);  // euro sign
    EXPECT_EQ(unicodeToCp437(0x1B), -1);
    EXPECT_EQ(unicodeToCp437(0x1F600), -1);
}

TEST(Cp437, Utf8TextsConvertOrAreRefused) {
    std::string out;
    ASSERT_TRUE(utf8ToCp437("╔═► Çé\n", &out));
    EXPECT_EQ(out, "\xC9\xCD\x10 \x80\x82\n");
    for (const char* bad : {"\xC3", "a\xE2\x95", "\xC0\x80", "\xED\xA0\x80", "\x80", "€", "\xFF"}) {
        EXPECT_FALSE(utf8ToCp437(bad, &out)) << bad;
    }
}

TEST(Cp437, TextsAreConvertedAtCompileTime) {
    constexpr Cp437Text frame{"╔═► ~title~ ◄═╗"};
    static_assert(frame.length == 15);
    static_assert(frame.text[0] == '\xC9' && frame.text[2] == '\x10' && frame.text[12] == '\x11');
    EXPECT_STREQ(frame.c_str(), "\xC9\xCD\x10 ~title~ \x11\xCD\xBB");
}
