#include "archive/wildmatch.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct MatchCase {
    const char* pattern;
    const char* text;
    WildMatchResult expected;
};

const MatchCase MATCH_CASES[] = {
    // Stars and question marks.
    {"*.*", "A.B", WM_MATCH},
    {"*.*", ".", WM_MATCH},
    {"*.*", "README", WM_TEXT_ENDED},
    {"*", "ANYTHING", WM_MATCH},
    {"*", "", WM_MATCH},
    {"**", "", WM_MATCH},
    {"A**", "A", WM_MATCH},
    {"A*?", "A", WM_TEXT_ENDED},
    {"?*", "", WM_TEXT_ENDED},
    {"", "", WM_MATCH},
    {"", "A", WM_TEXT_LEFT},
    {"?", "", WM_TEXT_ENDED},
    {"?", "Z", WM_MATCH},
    {"*X", "AXBX", WM_MATCH},
    {"*X", "AXB", WM_TEXT_ENDED},
    {"M*P*.BIN", "MAP01.BIN", WM_MATCH},
    {"*[0-9].BIN", "MAP12.BIN", WM_MATCH},
    // Plain characters: only a..z fold.
    {"readme.txt", "README.TXT", WM_MATCH},
    {"README.TXT", "readme.txt", WM_MATCH},
    {"ABC", "ABD", WM_CHAR_MISS},
    {"AB", "ABC", WM_TEXT_LEFT},
    {"ABC", "AB", WM_TEXT_ENDED},
    {"\x84", "\x8E", WM_CHAR_MISS},
    {"A\\B", "A\\B", WM_MATCH},
    {"A]", "A]", WM_MATCH},
    // Sets.
    {"[a-c]X", "bx", WM_MATCH},
    {"[c-a]X", "bx", WM_MATCH},
    {"[a-c]", "a", WM_MATCH},  // both ends of a range belong to it
    {"[a-c]", "C", WM_MATCH},
    {"[c-a]", "A", WM_MATCH},
    {"[a-c]", "d", WM_SET_MISS},
    {"[!a-c]X", "BX", WM_SET_MISS},
    {"[!a-c]X", "DX", WM_MATCH},
    {"[^a]", "b", WM_MATCH},
    {"[^a]", "A", WM_SET_MISS},
    {"[\\]]", "]", WM_MATCH},
    {"[a\\-z]", "-", WM_MATCH},
    {"[a\\-z]", "b", WM_SET_MISS},
    {"[xyz]1", "Y1", WM_MATCH},
    {"DATA[1]", "DATA[1]", WM_SET_MISS},
    {"DATA[1]", "DATA1", WM_MATCH},
    // Malformed sets fail the match.
    {"[ab", "c", WM_BAD_PATTERN},
    {"[ab", "a", WM_BAD_PATTERN},
    {"[!]", "x", WM_BAD_PATTERN},
    {"[]", "]", WM_BAD_PATTERN},
    {"[a-]", "a", WM_BAD_PATTERN},
    {"[a-", "b", WM_BAD_PATTERN},
    {"[\\", "a", WM_BAD_PATTERN},
    {"*[", "A", WM_BAD_PATTERN},
};

TEST(WildMatch, StatusForEachCase) {
    for (const MatchCase& c : MATCH_CASES) {
        EXPECT_EQ(wildMatchStatus(c.pattern, c.text), c.expected)
            << "pattern \"" << c.pattern << "\" text \"" << c.text << "\"";
        EXPECT_EQ(wildMatch(c.pattern, c.text), c.expected == WM_MATCH)
            << "pattern \"" << c.pattern << "\" text \"" << c.text << "\"";
    }
}

TEST(WildMatch, ManyStarsAgainstLongNameFinishQuickly) {
    // Backtracking must give up once the text runs out instead of trying
    // every way of spreading the stars.
    const std::string name(32, 'A');
    EXPECT_FALSE(wildMatch("*A*A*A*A*A*A*A*A*A*A*A*B", name.c_str()));
    EXPECT_TRUE(wildMatch("*A*A*A*A*A*A*A*A*A*A*A*A", name.c_str()));
}

struct ValidityCase {
    const char* pattern;
    bool valid;
    PatternError error;
};

const ValidityCase VALIDITY_CASES[] = {
    {"*.BIN", true, PATTERN_OK},
    {"", true, PATTERN_OK},
    {"]", true, PATTERN_OK},
    {"A\\", true, PATTERN_OK},
    {"[!]", true, PATTERN_OK},
    {"[\\]]", true, PATTERN_OK},
    {"[a-z0-9]*", true, PATTERN_OK},
    {"[a]]", true, PATTERN_OK},
    {"[ab", false, PATTERN_UNCLOSED},
    {"[", false, PATTERN_UNCLOSED},
    {"[a-b", false, PATTERN_UNCLOSED},
    {"[]", false, PATTERN_EMPTY_SET},
    {"X[]Y", false, PATTERN_EMPTY_SET},
    {"[a\\", false, PATTERN_BAD_ESCAPE},
    {"[a-\\", false, PATTERN_BAD_ESCAPE},
    {"[a-]", false, PATTERN_BAD_RANGE},
    {"[a-", false, PATTERN_BAD_RANGE},
};

TEST(WildMatch, PatternValidity) {
    for (const ValidityCase& c : VALIDITY_CASES) {
        PatternError error = PATTERN_BAD_ESCAPE;
        EXPECT_EQ(isValidWildPattern(c.pattern, &error), c.valid) << c.pattern;
        EXPECT_EQ(error, c.error) << c.pattern;
    }
}

TEST(WildMatch, ValidPatternsNeverReportBadPattern) {
    // What the checker accepts, the matcher must be able to run.
    for (const ValidityCase& c : VALIDITY_CASES) {
        if (!c.valid || std::string(c.pattern) == "[!]")
            continue;
        for (const char* text : {"", "A", "]", "ZZZ", "a-b"}) {
            EXPECT_NE(wildMatchStatus(c.pattern, text), WM_BAD_PATTERN)
                << "pattern \"" << c.pattern << "\" text \"" << text << "\"";
        }
    }
}

}  // namespace
