#include <gtest/gtest.h>

#include <string>

#include "text/ascii_fold.h"
#include "text/cp437.h"
#include "text/escape.h"
#include "text/utf8.h"

namespace {

TEST(AsciiFold, OnlyLowerCaseAsciiLettersChange) {
    for (int c = 0; c < 256; ++c) {
        const int expected = (c >= 'a' && c <= 'z') ? c - 32 : c;
        EXPECT_EQ(foldAscii(static_cast<unsigned char>(c)), expected) << c;
    }
    EXPECT_TRUE(equalFoldingAscii("Intro.bin", "INTRO.BIN"));
    EXPECT_FALSE(equalFoldingAscii("\x82t\x82", "\x90T\x90"));  // é and É stay apart
    EXPECT_FALSE(equalFoldingAscii("A", "AB"));
}

TEST(Utf8, DecodesValidFormsAndRefusesTheRest) {
    struct Case {
        std::string text;
        size_t length;  // 0: invalid
        char32_t codePoint;
    };
    const Case cases[] = {
        {"A", 1, U'A'},
        {std::string("\0", 1), 1, 0},
        {"\xC3\xA9", 2, 0xE9},
        {"\xE2\x95\x94", 3, 0x2554},
        {"\xF0\x9F\x98\x80", 4, 0x1F600},
        {"\xF4\x8F\xBF\xBF", 4, 0x10FFFF},
        {"\x80", 0, 0},              // stray continuation byte
        {"\xC3", 0, 0},              // cut short
        {"\xE2\x95", 0, 0},          // cut short
        {"\xC3(", 0, 0},             // no continuation byte
        {"\xC0\xAF", 0, 0},          // overlong
        {"\xE0\x80\xAF", 0, 0},      // overlong
        {"\xED\xA0\x80", 0, 0},      // surrogate
        {"\xF4\x90\x80\x80", 0, 0},  // past U+10FFFF
        {"\xFF", 0, 0},
    };
    for (const Case& c : cases) {
        char32_t codePoint = 0;
        EXPECT_EQ(decodeUtf8(c.text, 0, &codePoint), c.length) << c.text;
        if (c.length > 0) {
            EXPECT_EQ(uint32_t(codePoint), uint32_t(c.codePoint)) << c.text;
        }
    }
}

TEST(Utf8, EncodeAndDecodeAgreeAtEveryLengthBoundary) {
    const char32_t boundaries[] = {0x0, 0x7F, 0x80, 0x7FF, 0x800, 0xFFFF, 0x10000, 0x10FFFF};
    for (char32_t codePoint : boundaries) {
        std::string text;
        appendUtf8(&text, codePoint);
        char32_t back = 0;
        EXPECT_EQ(decodeUtf8(text, 0, &back), text.size()) << uint32_t(codePoint);
        EXPECT_EQ(uint32_t(back), uint32_t(codePoint));
    }
}

TEST(Cp437Text, ControlBytesStayForTheEscaperAndTheRestBecomeGlyphs) {
    EXPECT_EQ(cp437TextToUtf8("CAF\x90\x1B\x7F.TXT"), "CAFÉ\x1B\x7F.TXT");
    EXPECT_EQ(escapeControls(cp437TextToUtf8("CAF\x90\x1B\x7F")), "CAFÉ\\x1B\\x7F");
}

TEST(JsonString, ValidUtf8WithEveryControlCharacterEscaped) {
    struct Case {
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {"PLAIN", "\"PLAIN\""},
        {"a\"b\\c", "\"a\\\"b\\\\c\""},
        {"\b\f\n\r\t", "\"\\b\\f\\n\\r\\t\""},
        {std::string("\0\x1B", 2), "\"\\u0000\\u001b\""},
        {"del\x7F", "\"del\\u007f\""},
        {"\xC2\x9B", "\"\\u009b\""},          // C1 control
        {"caf\xC3\xA9", "\"caf\xC3\xA9\""},   // kept as it is
        {"x\xE9y", "\"x\xEF\xBF\xBDy\""},     // not UTF-8: U+FFFD
        {"\xE2\x82", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
    };
    for (const Case& c : cases) {
        std::string out;
        appendJsonString(&out, c.text);
        EXPECT_EQ(out, c.expected) << c.expected;
    }
}

}  // namespace
