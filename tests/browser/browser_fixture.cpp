#include "browser_fixture.h"

#include <cstdio>

#include "browser/mainloop.h"
#include "browser/panels.h"
#include "browser/selection.h"
#include "console/screen.h"
#include "text/cp437.h"

void BrowserScreenTest::SetUp() {
    setConsoleBackend(&console);
    browser = BrowserState{};
    tree = std::make_unique<TestTree>("D:\\GAMES\\X.DIR");
    root = tree->root();
    browser.archivePath = root->name;
    browser.root = root;
    browser.panel.current = root;
    browser.titleLine = formatTitleLine();
    initMaskField();
    screenClear();
}

void BrowserScreenTest::TearDown() {
    setConsoleBackend(nullptr);
    browser = BrowserState{};
    tree.reset();
    root = nullptr;
}

Entry* BrowserScreenTest::add(Entry* directory, const char* name, int32_t kind, uint32_t size,
                              uint32_t offset) {
    Entry* added = tree->add(directory, name, kind, size, offset);
    if (added == nullptr)
        ADD_FAILURE() << "could not add " << name;
    return added;
}

void BrowserScreenTest::addFiles(Entry* directory, int count) {
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "FILE%04d.BIN", i);
        add(directory, name, KIND_FILE, static_cast<uint32_t>(i), static_cast<uint32_t>(i * 16));
    }
}

Entry* BrowserScreenTest::child(int index) const {
    return browser.panel.current->children.at(static_cast<size_t>(index));
}

void BrowserScreenTest::show() {
    drawStaticScreen();
    drawHintLine();
    drawMainScreen();
}

void BrowserScreenTest::pressKeys(std::initializer_list<KeyCode> keys) {
    console.pushKeys(keys);
    handleKey(readKey());
}

std::string BrowserScreenTest::cells(int row, int column, int width) const {
    return cp437StringToUtf8(console.rowBytes(row).substr(column, width));
}

std::string BrowserScreenTest::runs(int row, int column, int width) const {
    std::vector<uint8_t> attributes = console.rowAttributes(row);
    std::string out;
    for (int start = column; start < column + width;) {
        int end = start;
        while (end < column + width && attributes[end] == attributes[start]) ++end;
        char run[16];
        std::snprintf(run, sizeof run, "%s%02Xx%d", out.empty() ? "" : " ", attributes[start],
                      end - start);
        out += run;
        start = end;
    }
    return out;
}
