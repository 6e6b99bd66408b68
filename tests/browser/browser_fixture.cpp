#include "browser_fixture.h"

#include <cstdio>

#include "browser/panels.h"
#include "browser/selection.h"
#include "text/cp437.h"
#include "console/screen.h"

namespace {

int deleteInfo(EntryInfo* info) {
    delete info;
    return 0;
}

}  // namespace

void destroyTree(Entry* entry) {
    if (entry == nullptr)
        return;
    std::vector<Entry*> children = entry->children;
    entry->children.clear();
    for (Entry* child : children) destroyTree(child);
    delete entry;
}

void BrowserScreenTest::SetUp() {
    setConsoleBackend(&console);
    releaseInfoHook = deleteInfo;
    browser = BrowserState{};
    root = new Entry;
    root->kind = KIND_ROOT;
    root->name = "D:\\GAMES\\X.DIR";
    root->info = new EntryInfo{};
    browser.archivePath = root->name;
    browser.root = root;
    browser.panel.current = root;
    browser.titleLine = formatTitleLine();
    initMaskField();
    screenClear();
}

void BrowserScreenTest::TearDown() {
    setConsoleBackend(nullptr);
    destroyTree(root);
    browser = BrowserState{};
}

Entry* BrowserScreenTest::add(Entry* directory, const char* name, int32_t kind, uint32_t size,
                              uint32_t offset) {
    EntryInfo* info = new EntryInfo{};
    info->offset = offset;
    if (addChild(directory, name, size, info, kind) == 0) {
        delete info;
        ADD_FAILURE() << "could not add " << name;
        return nullptr;
    }
    Entry* added = nullptr;
    for (Entry* each : directory->children)
        if (each->name == name)
            added = each;
    if (kind == KIND_SUBDIR)
        addChild(added, "...", 0, new EntryInfo{}, KIND_UPDIR);
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
