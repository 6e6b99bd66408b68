#include <gtest/gtest.h>

#include "browser/messages.h"
#include "browser/state.h"

namespace {

TEST(EscapeControls, ControlBytesAreWrittenOut) {
    struct Case {
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {"PLAIN.BIN", "PLAIN.BIN"},
        {"DATA\\MAP.BIN", "DATA\\MAP.BIN"},
        {"\x1B[2J", "\\x1B[2J"},
        {std::string("A\0B", 3), "A\\x00B"},
        {"tab\there\r\n", "tab\\x09here\\x0D\\x0A"},
        {"del\x7F", "del\\x7F"},
        {"caf\xC3\xA9", "caf\xC3\xA9"},  // valid UTF-8 stays readable
        {"\xC2\x9B"
         "31m",
         "\\xC2\\x9B31m"},  // C1 control (CSI) as UTF-8
        {"\x9B"
         "31m",
         "\\x9B31m"},                // lone C1 byte
        {"\x82\xE9", "\\x82\\xE9"},  // code page 437 bytes
        {"\xE2\x82", "\\xE2\\x82"},  // cut sequence
        {"\xC0\xAF", "\\xC0\\xAF"},  // overlong form
    };
    for (const Case& c : cases) EXPECT_EQ(escapeControls(c.text), c.expected) << c.expected;
}

TEST(EndMessage, EveryReason) {
    struct Case {
        int reason;
        const char* expected;
    };
    const Case cases[] = {
        {REASON_NONE, ""},
        {REASON_QUIT, ""},
        {REASON_OPEN_FAILED, "Unable open 'C:\\GAMES\\DATA.DIR'"},
        {REASON_BAD_FORMAT, "'C:\\GAMES\\DATA.DIR' has invalid format"},
        {REASON_CREATE_FAILED, "Unable create 'SUB\\A.BIN'"},
        {REASON_DISK_FULL, "Insufficient disk space to rip 'SUB\\A.BIN'"},
        {REASON_MKDIR_FAILED, "Unable create directory 'SUB\\A.BIN'"},
        {REASON_READ_FAILED, "Unable read 'SUB\\A.BIN' from archive"},
        {REASON_WRITE_FAILED, "Unable write 'SUB\\A.BIN'"},
        {REASON_TOO_LARGE, "'C:\\GAMES\\DATA.DIR' holds too many entries"},
        {REASON_NO_TERMINAL, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(endMessage(c.reason, "C:\\GAMES\\DATA.DIR", "SUB\\A.BIN"), c.expected)
            << c.reason;
}

TEST(EndMessage, NamesReadAsOnScreenAndCannotDriveTheTerminal) {
    struct Case {
        int reason;
        std::string archivePath;  // host text
        std::string subject;      // code page 437 name, or a host path for directories
        const char* expected;
    };
    const Case cases[] = {
        {REASON_CREATE_FAILED, "X.DIR", "CAF\x90.TXT", "Unable create 'CAF\xC3\x89.TXT'"},
        {REASON_DISK_FULL, "X.DIR", "\x9B\x82T\xE9",
         "Insufficient disk space to rip '\xC2\xA2\xC3\xA9T\xCE\x98'"},
        {REASON_WRITE_FAILED, "X.DIR", "EVIL\x1B]0;owned\x07.BIN",
         "Unable write 'EVIL\\x1B]0;owned\\x07.BIN'"},
        {REASON_READ_FAILED, "X.DIR", "DEL\x7F", "Unable read 'DEL\\x7F' from archive"},
        {REASON_MKDIR_FAILED, "X.DIR", "/tmp/caf\xC3\xA9/A",
         "Unable create directory '/tmp/caf\xC3\xA9/A'"},
        {REASON_BAD_FORMAT, "/TMP/CAF\xC3\xA9.DIR", "",
         "'/TMP/CAF\xC3\xA9.DIR' has invalid format"},
        {REASON_BAD_FORMAT, "\x1B[31mX.DIR", "", "'\\x1B[31mX.DIR' has invalid format"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(endMessage(c.reason, c.archivePath, c.subject), c.expected) << c.expected;
}

}  // namespace
