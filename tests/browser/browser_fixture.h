// A browser on the in-memory console, with a tree built entry by entry.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "archive/entry.h"
#include "browser/state.h"
#include "console/memory_console.h"
#include "support/test_tree.h"

class BrowserScreenTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Adds a child to `directory` (a sub-directory gets its "..." entry) and returns it.
    Entry* add(Entry* directory, const char* name, int32_t kind, uint32_t size = 0,
               uint32_t offset = 0);
    // Adds `count` files FILE0000.BIN ... to `directory`.
    void addFiles(Entry* directory, int count);
    // The child of the shown directory at `index`.
    Entry* child(int index) const;
    // Draws the whole browser screen: frames, hint line and panels.
    void show();
    // Queues `keys` and hands the first to the main loop's key handler; the
    // boxes it opens read the rest.
    void pressKeys(std::initializer_list<KeyCode> keys);

    // `width` cells of row `row` from `column` on, as UTF-8.
    std::string cells(int row, int column, int width) const;
    // Their attributes as runs, e.g. "1Bx1 13x38 1Bx1".
    std::string runs(int row, int column, int width) const;

    MemoryConsole console;
    std::unique_ptr<TestTree> tree;
    Entry* root = nullptr;
};
