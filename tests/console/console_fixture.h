// A fixture that draws on an in-memory console and clears the draw buffer.
#pragma once

#include <gtest/gtest.h>

#include "console/backend.h"
#include "console/memory_console.h"
#include "console/screen.h"

class ConsoleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        screenClear();
        setConsoleBackend(&console);
    }
    void TearDown() override { setConsoleBackend(nullptr); }

    // Flushes and returns the row as the screen shows it.
    std::string shownRow(int r) {
        screenFlush();
        return console.row(r);
    }

    MemoryConsole console;
};
