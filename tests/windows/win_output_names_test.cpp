// The key under which Windows compares output names: the system's mapping,
// the pure table beside it, and the file system they stand for.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/output_files.h"
#include "platform/windows/output_names.h"
#include "text/cp437.h"
#include "win_scratch.h"

namespace {

// Every glyph of code page 437 that can stand in a file name.
std::vector<std::string> glyphs() {
    std::vector<std::string> names;
    for (int c = 0x20; c < 0x100; ++c) {
        const std::string name = outputComponentName(cp437ToUtf8(static_cast<unsigned char>(c)));
        if (name.size() > 1 || (name != "_" && name != "."))
            names.push_back(name);
    }
    return names;
}

TEST(WinOutputNames, TheSystemMappingAndTheTableMakeTheSameNamesOne) {
    const std::vector<std::string> names = glyphs();
    std::vector<std::string> system, table;
    for (const std::string& name : names) {
        system.push_back(outputNameKey(name));
        table.push_back(windowsNameKey(name));
    }
    for (size_t a = 0; a < names.size(); ++a)
        for (size_t b = a + 1; b < names.size(); ++b)
            EXPECT_EQ(system[a] == system[b], table[a] == table[b]) << names[a] << " " << names[b];
}

TEST(WinOutputNames, NamesOfOneKeyAreOneFileOnDisk) {
    // What the keys stand for: a file made under one name is found under
    // every name of the same key, and only under those.
    WinScratch dir;
    const std::vector<std::string> names = glyphs();
    for (const std::string& name : names) {
        const std::string key = outputNameKey(name);
        if (key == name)
            continue;
        dir.write(name + ".K", "x");
        for (const std::string& other : names) {
            const bool found = GetFileAttributesW(systemPath(dir.file(other + ".K")).c_str()) !=
                               INVALID_FILE_ATTRIBUTES;
            EXPECT_EQ(found, outputNameKey(other) == key) << name << " as " << other;
        }
        DeleteFileW(systemPath(dir.file(name + ".K")).c_str());
    }
}

}  // namespace
