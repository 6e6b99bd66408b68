#include <gtest/gtest.h>

#include <string>

#include "text/host_text.h"

namespace {

TEST(HostTextToCp437, EachCharacterAsItsGlyphOrAQuestionMark) {
    struct Case {
        std::string host;  // UTF-8
        std::string screen;
    };
    const Case cases[] = {
        {"/tmp/GAME.DIR", "/tmp/GAME.DIR"},
        {"é/D.DIR", "\x82/D.DIR"},
        {"ÉTÉ", "\x90T\x90"},
        {"€日.dir", "??.dir"},  // no glyph in the code page
        {"a←b",
         "a\x1B"
         "b"},                                // the arrow's glyph byte, drawn as the arrow
        {"a\x1B[2J\x7F\xC2\x9B", "a?[2J??"},  // controls C0, DEL, C1
        {"\xFF"
         "a\xC3"
         "b\xE2\x82",
         "?a?b??"},  // broken bytes, one '?' each
    };
    for (const Case& c : cases) EXPECT_EQ(hostTextToCp437(c.host), c.screen) << c.host;
}

}  // namespace
