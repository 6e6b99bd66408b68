// The browser run end to end: the real program in tmux on an archive written
// into a temporary directory, the fixture the key tests share.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/archive_fixture.h"
#include "support/tmux_harness.h"

class BrowserInTmux : public ::testing::Test {
  protected:
    // Runs the browser on `archiveName` in `dir` and waits for the panels.
    void start(const std::string& archiveName) {
        TmuxSession::Options options;
        options.workingDirectory = dir.path();
        session = std::make_unique<TmuxSession>(
            TmuxSession::quote(DIRRIP_BINARY) + " " + TmuxSession::quote(archiveName), options);
        ASSERT_TRUE(session->waitFor("file from")) << session->dump();
    }
    // Waits until screen row `row` holds `text`.
    bool rowShows(int row, const std::string& text, int timeoutMs = 5000) {
        return session->waitForRow(row, text, timeoutMs);
    }
    // Row 0 with its colours, which the Esc prompt turns red.
    std::string titleWithColours() {
        return TmuxSession::lineOf(session->screenWithColours(), 0);
    }
    // Esc, waits for the red title bar, then Esc again; the program must end with status 0.
    void quit() {
        std::string before = titleWithColours();
        session->sendKeys("Escape");
        ASSERT_TRUE(session->waitUntil([&](const std::string&) {
            return titleWithColours() != before;
        })) << session->dump();
        session->sendKeys("Escape");
        int exitStatus = -1;
        ASSERT_TRUE(session->waitForExit(5000, &exitStatus)) << session->dump();
        EXPECT_EQ(exitStatus, 0);
    }

    TempDir dir;
    std::unique_ptr<TmuxSession> session;
};
