// The output plan of one run: which entry gets which path where names meet.
#include "output/output_plan.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/test_tree.h"

namespace {

std::string sameName(std::string_view name) {
    return std::string(name);
}

// Names as a POSIX file system keeps them, whatever the host: the tables
// below hold on every platform.
const OutputNameRules KEEP_CASE = {ROOT_PREFIXES_SANITIZED, sameName, sameName};

// Builds a tree from paths whose levels are separated by '|' (a trailing '|'
// makes a directory; '\' stays part of a stored name).
void build(TestTree& tree, const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        Entry* directory = tree.root();
        size_t start = 0;
        for (;;) {
            const size_t bar = path.find('|', start);
            const std::string name = path.substr(start, bar - start);
            if (bar == std::string::npos) {
                if (!name.empty()) {
                    ASSERT_NE(tree.file(directory, name), nullptr) << path;
                }
                break;
            }
            Entry* next = nullptr;
            for (Entry* child : directory->children)
                if (child->name == name)
                    next = child;
            directory = next != nullptr ? next : tree.subdir(directory, name);
            start = bar + 1;
        }
    }
}

// Each entry's planned path, by its archive path ('|' between levels, a
// trailing '|' for a directory), for a plain extraction of the tree.
std::map<std::string, std::string> planned(const Entry* root,
                                           const std::vector<const Entry*>& entries) {
    const std::vector<std::string> paths = planOutputPaths(root, entries, KEEP_CASE);
    std::map<std::string, std::string> byEntry;
    for (size_t i = 0; i < entries.size(); ++i) {
        std::string key = entries[i]->kind == KIND_SUBDIR ? "|" : "";
        for (const Entry* at = entries[i]; at != root; at = at->parent)
            key = at->name + (key.empty() || at == entries[i] ? "" : "|") + key;
        byEntry[key] = paths[i];
    }
    return byEntry;
}

struct PlanCase {
    const char* what;
    std::vector<std::string> entries;
    std::map<std::string, std::string> paths;  // every entry's planned path
};

const PlanCase PLAN_CASES[] = {
    {"a name that needs no change keeps it; changed ones are numbered in run order",
     {"A*B", "A?B", "A_B"},
     {{"A*B", "A_B~2"}, {"A?B", "A_B~3"}, {"A_B", "A_B"}}},
    {"a numbered name skips one that an entry wants as it stands",
     {"A*B", "A_B", "A_B~2"},
     {{"A*B", "A_B~3"}, {"A_B", "A_B"}, {"A_B~2", "A_B~2"}}},
    {"the number goes before the extension",
     {"READ?E.TXT", "READ_E.TXT"},
     {{"READ?E.TXT", "READ_E~2.TXT"}, {"READ_E.TXT", "READ_E.TXT"}}},
    {"a changed file beside a directory that keeps its name",
     {"A_B|X", "A?B"},
     {{"A_B|", "A_B"}, {"A_B|X", "A_B/X"}, {"A?B", "A_B~2"}}},
    {"a changed directory beside a file that keeps its name",
     {"A?B|X", "A_B"},
     {{"A?B|", "A_B~2"}, {"A?B|X", "A_B~2/X"}, {"A_B", "A_B"}}},
    {"directories of one name merge; the file whose path needed no change keeps its name",
     {"A?B|X", "A?B|Y", "A_B|X"},
     {{"A?B|", "A_B"},
      {"A?B|X", "A_B/X~2"},
      {"A?B|Y", "A_B/Y"},
      {"A_B|", "A_B"},
      {"A_B|X", "A_B/X"}}},
    {"a path changed a level up is changed all the way down",
     {"A?B|C|X", "A_B|C|X"},
     {{"A?B|", "A_B"},
      {"A?B|C|", "A_B/C"},
      {"A?B|C|X", "A_B/C/X~2"},
      {"A_B|", "A_B"},
      {"A_B|C|", "A_B/C"},
      {"A_B|C|X", "A_B/C/X"}}},
    {"a name holding '\\' leads into the directory of that name",
     {"DATA|X", "DATA\\X", "DATA\\Y"},
     {{"DATA|", "DATA"}, {"DATA|X", "DATA/X"}, {"DATA\\X", "DATA/X~2"}, {"DATA\\Y", "DATA/Y"}}},
    {"a file, then a directory its name makes", {"F", "F\\G"}, {{"F", "F"}, {"F\\G", "F~2/G"}}},
    {"a directory no file goes into takes only what is left",
     {"A_B|", "A?B", "E|"},
     {{"A_B|", "A_B~2"}, {"A?B", "A_B"}, {"E|", "E"}}},
    {"nothing left of a file's name, and a directory that goes where it stands",
     {"\\", "\\\\|X"},
     {{"\\", ""}, {"\\\\|", ""}, {"\\\\|X", "X"}}},
    {"a numbered directory's files follow it, and only its own name is numbered",
     {"A?B|C|D", "A_B"},
     {{"A?B|", "A_B~2"}, {"A?B|C|", "A_B~2/C"}, {"A?B|C|D", "A_B~2/C/D"}, {"A_B", "A_B"}}},
};

TEST(OutputPlan, WhereNamesMeet) {
    for (const PlanCase& row : PLAN_CASES) {
        TestTree tree;
        build(tree, row.entries);
        const std::vector<const Entry*> all = extractionEntries(tree.root());
        EXPECT_EQ(planned(tree.root(), all), row.paths) << row.what;
        // A mode that passes only the files finds each where a plain extraction wrote it.
        std::vector<const Entry*> files;
        for (const Entry* entry : all)
            if (entry->kind == KIND_FILE)
                files.push_back(entry);
        for (const auto& [entry, path] : planned(tree.root(), files))
            EXPECT_EQ(path, row.paths.at(entry)) << row.what << ": files only, " << entry;
    }
}

TEST(OutputPlan, RipPlansOnlyItsFilesBelowTheShownDirectory) {
    // The directories above the shown one are not written; a name the run
    // does not hold does not push a file to a numbered name.
    TestTree tree;
    build(tree, {"SUB|A?B", "SUB|A*B", "SUB|A_B", "A?B"});
    const Entry* sub = tree.root()->children[0];
    std::vector<const Entry*> chosen;
    for (const Entry* child : sub->children)
        if (child->kind == KIND_FILE && child->name != "A_B")
            chosen.push_back(child);
    EXPECT_EQ(planOutputPaths(sub, chosen, KEEP_CASE), (std::vector<std::string>{"A_B", "A_B~2"}));
}

TEST(OutputPlan, NumberedNames) {
    EXPECT_EQ(numberedName("A_B", 2), "A_B~2");
    EXPECT_EQ(numberedName("README.TXT", 3), "README~3.TXT");
    EXPECT_EQ(numberedName("A.TAR.GZ", 2), "A.TAR~2.GZ");
    EXPECT_EQ(numberedName(".HIDDEN", 2), ".HIDDEN~2");
}

}  // namespace
