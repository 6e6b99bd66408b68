// The tmux harness itself: a program's output, keys, exit status and terminal type.
#include <gtest/gtest.h>

#include "support/tmux_harness.h"

TEST(TmuxHarness, ReadsWhatAProgramPrintedAfterItEnded) {
    TmuxSession s("printf 'first line\\n%s\\n' \"$TERM $LANG\"; exit 3");
    ASSERT_TRUE(s.started());
    int status = -1;
    ASSERT_TRUE(s.waitForExit(5000, &status)) << s.dump();
    EXPECT_EQ(status, 3);
    EXPECT_TRUE(s.waitFor("first line")) << s.dump();
    EXPECT_EQ(s.row(1).substr(0, 27), "tmux-256color C.UTF-8      ") << s.dump();
    EXPECT_EQ(s.row(0).size(), 80u) << s.dump();
}

TEST(TmuxHarness, TypesKeysIntoTheProgram) {
    TmuxSession::Options options;
    options.term = "screen";
    options.environment = {{"GREETING", "hi there"}};
    TmuxSession s(
        "stty raw -echo; echo \"$TERM $GREETING\"; "
        "head -c 8 | od -An -tx1; sleep 5",
        options);
    ASSERT_TRUE(s.waitFor("screen hi there")) << s.dump();
    s.sendKeys("Up", "ab");
    s.sendText("F2");
    s.sendBytes("\x1b\x7f");
    ASSERT_TRUE(s.waitFor("1b 5b 41 61 62 46 32 1b")) << s.dump();
}

TEST(TmuxHarness, ReportsTheSignalThatEndedTheProgram) {
    TmuxSession s("kill -TERM $$");
    int status = 0;
    ASSERT_TRUE(s.waitForExit(5000, &status)) << s.dump();
    EXPECT_EQ(status, 128 + 15);
}
