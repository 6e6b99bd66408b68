// Output names under Windows' rules, as one table.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "archive/entry.h"
#include "output/output_name.h"
#include "output/output_plan.h"
#include "platform/windows/output_names.h"

namespace {

// The rules of the Windows build, with the pure key table in place of the
// system's mapping (which the Windows-only tests compare with it).
const OutputNameRules WINDOWS_RULES = {ROOT_PREFIXES_DROPPED, windowsSafeComponent, windowsNameKey};

// Where an entry lands on Windows when no other entry of the run meets it.
std::string windowsOutputPathFor(const std::string& stored) {
    return writtenPathFor(stored, WINDOWS_RULES);
}

struct NameCase {
    std::string stored;  // code page 437, '\' between directories as the loader keeps it
    std::string path;    // '/'-separated UTF-8
};

const NameCase NAME_CASES[] = {
    {"PLAIN.TXT", "PLAIN.TXT"},
    {"DATA\\MAP.BIN", "DATA/MAP.BIN"},
    // Devices in any case, with or without an extension, in any component.
    {"CON", "_CON"},
    {"con", "_con"},
    {"NUL.TXT", "_NUL.TXT"},
    {"aux.tar.gz", "_aux.tar.gz"},
    {"PRN", "_PRN"},
    {"COM1", "_COM1"},
    {"lpt9.dat", "_lpt9.dat"},
    {"CON .LOG", "_CON .LOG"},
    {"CONOUT$", "_CONOUT$"},
    {"DIR\\CON\\F", "DIR/_CON/F"},
    {"COM0", "COM0"},
    {"COM10", "COM10"},
    {"CONSOLE", "CONSOLE"},
    {"NULL.TXT", "NULL.TXT"},
    // Windows would drop trailing dots and spaces.
    {"A.", "A_"},
    {"B ", "B_"},
    {"C. .", "C___"},
    {"...", "___"},
    {"X.\\Y", "X_/Y"},
    // Refused characters.
    {"B:C", "B_C"},
    {"WHAT?.TXT", "WHAT_.TXT"},
    {"A<B>C|D", "A_B_C_D"},
    // Drive letters, device and UNC prefixes go like leading separators.
    {"C:\\GAMES\\X.DAT", "GAMES/X.DAT"},
    {"c:X.DAT", "c_X.DAT"},
    {"\\\\?\\C:\\X", "X"},
    {"\\\\.\\PIPE\\P", "PIPE/P"},
    {"\\\\?\\UNC\\SERVER\\SHARE\\F", "SERVER/SHARE/F"},
    {"\\\\SERVER\\SHARE\\F", "SERVER/SHARE/F"},
    {"\\ROOT.TXT", "ROOT.TXT"},
    // Climbing out is neutralised as on every host.
    {"..\\..\\X", "__/__/X"},
    {"C:\\..\\X", "__/X"},
    // Code page 437 letters arrive as UTF-8.
    {"\x82T\x82", "\u00E9T\u00E9"},
    {"", ""},
};

TEST(WindowsOutputNames, EveryRowOfTheTable) {
    for (const NameCase& row : NAME_CASES)
        EXPECT_EQ(windowsOutputPathFor(row.stored), row.path) << row.stored;
}

TEST(WindowsOutputNames, KeysCompareAsNtfsDoes) {
    const struct {
        const char* name;
        const char* key;
    } rows[] = {
        {"readme.txt", "README.TXT"},
        {"\u00E4\u00F6\u00FC\u00E9\u00E7\u00F1\u00E5\u00E6",
         "\u00C4\u00D6\u00DC\u00C9\u00C7\u00D1\u00C5\u00C6"},
        {"\u03C3\u03C6\u03B1\u03B4", "\u03A3\u03A6\u0391\u0394"},
        {"\u00FF\u00B5\u0192", "\u0178\u039C\u0191"},
        // No one-for-one upper case: kept, as the system's table keeps them.
        {"\u00DF\u00F7\u2302", "\u00DF\u00F7\u2302"},
        {"A\xFF"
         "B",
         "A\xFF"
         "B"},
    };
    for (const auto& row : rows) EXPECT_EQ(windowsNameKey(row.name), row.key) << row.name;
}

// Names that Windows makes one file: each entry still gets a file of its own,
// and the name that needed no change keeps it.
TEST(WindowsOutputNames, NamesWindowsMakesEqualGetNumberedNames) {
    releaseInfoHook = releaseEntryInfo;
    Entry root;
    auto add = [](Entry* directory, const std::string& name, int32_t kind) {
        EXPECT_EQ(addChild(directory, name.c_str(), 0, new EntryInfo, kind), 1) << name;
        for (Entry* child : directory->children)
            if (child->name == name)
                return child;
        return directory;
    };
    for (const char* name : {"CON", "_CON", "A.", "A ", "A_", "\x84.TXT", "\x8E.TXT", "\x82",
                             "\x90", "NUL.TXT", "_nul.txt", "F\\aux", "F\\_AUX"})
        add(&root, name, KIND_FILE);
    add(add(&root, "\x84", KIND_SUBDIR), "X", KIND_FILE);
    add(add(&root, "\x8E", KIND_SUBDIR), "X", KIND_FILE);

    const std::vector<const Entry*> entries = extractionEntries(&root);
    const std::vector<std::string> paths = planOutputPaths(&root, entries, WINDOWS_RULES);
    std::map<std::string, std::string> byName;
    for (size_t i = 0; i < entries.size(); ++i)
        byName[(entries[i]->parent == &root ? "" : entries[i]->parent->name + "|") +
               entries[i]->name] = paths[i];
    EXPECT_EQ(byName, (std::map<std::string, std::string>{
                          {"_CON", "_CON"},
                          {"CON", "_CON~2"},
                          {"A_", "A_"},
                          {"A ", "A_~2"},
                          {"A.", "A_~3"},
                          {"\x84.TXT", "\u00E4.TXT"},
                          {"\x8E.TXT", "\u00C4~2.TXT"},
                          {"\x82", "\u00E9"},
                          {"\x90", "\u00C9~2"},
                          {"_nul.txt", "_nul.txt"},
                          {"NUL.TXT", "_NUL~2.TXT"},
                          {"F\\_AUX", "F/_AUX"},
                          {"F\\aux", "F/_aux~2"},
                          {"\x84", "\u00E4"},
                          {"\x84|X", "\u00E4/X"},
                          {"\x8E", "\u00E4"},
                          {"\x8E|X", "\u00E4/X~2"},
                      }));
    destroyDescendants(&root);
}

}  // namespace
