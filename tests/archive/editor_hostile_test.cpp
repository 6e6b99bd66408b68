// The editor's own reading of the listings must be the loader's, record for
// record, on archives no writer would make. Its last check loads every plan's
// result with the real loader, so a difference shows as "internal check
// failed"; a lookup that misses shows as "no entry" for a path the loader has.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <set>

#include "archive/editor.h"
#include "archive/record.h"
#include "edit_fixture.h"
#include "support/archive_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Names the loader takes as one ('/' is its '\', letters count without
// case), "..." (the name of every directory's way up), and plain ones.
const char* const POOL[] = {"A",   "a",   "B/C",   "b\\c",  "B", "...", "Dir",
                            "DIR", "dIr", "F.TXT", "f.txt", "X", "x"};

// True when `path` (as treeOf gives it) can only name one entry: none of its
// names holds a '\' (which treeOf shows as '/').
bool plainName(const std::string& path) {
    std::string folded = path;
    for (char& c : folded) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return folded.find("B/C") == std::string::npos;
}

// True when the command line's lookup reaches `path`: it goes into
// directories only, not into files that a directory record leads into.
bool reachable(const TreeState& tree, const std::string& path) {
    for (size_t slash = path.find('/'); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        auto above = tree.find(path.substr(0, slash));
        if (above != tree.end() && above->second.kind == KIND_FILE)
            return false;
    }
    return true;
}

// A root listing of `rootRecords` records, 64 bytes of data, then up to five
// small listings, the last one sometimes cut short by the end of the file.
// Directory records lead anywhere: into the root (a cycle), into listings
// shared or still being read, past the end of the file; data is shared.
Bytes hostileArchive(std::mt19937& random, size_t rootRecords) {
    auto pick = [&](size_t count) { return static_cast<size_t>(random() % count); };
    std::vector<size_t> counts{rootRecords};
    for (size_t i = 1 + pick(5); i > 0; --i) counts.push_back(pick(5));
    const uint64_t dataStart = (rootRecords + 1) * DIR_RECORD_SIZE;
    std::vector<uint64_t> starts{0};
    uint64_t next = dataStart + 64;
    for (size_t i = 1; i < counts.size(); ++i) {
        starts.push_back(next);
        next += (counts[i] + 1) * DIR_RECORD_SIZE;
    }
    auto listing = [&](size_t count) {
        Bytes bytes;
        for (size_t r = 0; r < count; ++r) {
            const std::string name =
                pick(4) == 0 ? "N" + std::to_string(pick(1000)) : POOL[pick(std::size(POOL))];
            if (pick(10) < 7) {
                appendRecord(bytes, name, TYPE_FILE, static_cast<uint32_t>(pick(9)),
                             static_cast<uint32_t>(dataStart + pick(64)));
            } else {
                const uint64_t to = pick(10) == 0 ? next + 1000 : starts[pick(starts.size())];
                appendRecord(bytes, name, TYPE_DIRECTORY, 0, static_cast<uint32_t>(to));
            }
        }
        appendEnd(bytes);
        return bytes;
    };
    Bytes archive = listing(rootRecords);
    for (size_t i = 0; i < 64; ++i) archive.push_back(static_cast<uint8_t>('a' + pick(26)));
    for (size_t i = 1; i < counts.size(); ++i) {
        const Bytes more = listing(counts[i]);
        archive.insert(archive.end(), more.begin(), more.end());
    }
    if (pick(4) == 0)
        archive.resize(archive.size() - DIR_RECORD_SIZE);  // the last listing has no end record
    return archive;
}

// Plans `requests`; a refusal is fine unless it says the editor's reading was
// wrong. Returns the archive after the plan, or nothing when refused.
std::optional<Bytes> planOrRefuse(const Bytes& archive, const std::vector<EditRequest>& requests,
                                  bool existing) {
    const std::string why = refusal(archive, requests);
    EXPECT_EQ(why.find("internal check failed"), std::string::npos) << why;
    if (existing) {
        EXPECT_EQ(why.find("no entry"), std::string::npos) << why;
    }
    if (!why.empty())
        return std::nullopt;
    return applyPlan(archive, planOrFail(archive, requests));
}

TEST(EditorHostile, ArchivesNoWriterMakesArePlannedAsTheLoaderReadsThem) {
    std::mt19937 random(424242);
    auto pick = [&](size_t count) { return static_cast<size_t>(random() % count); };
    int planned = 0;
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const Bytes archive = hostileArchive(random, pick(4) == 0 ? 200 + pick(300) : pick(12));
        const TreeState before = treeOf(archive);
        std::vector<std::string> files, directories{""};
        bool unambiguous = true;
        for (const auto& [path, state] : before) {
            (state.kind == KIND_FILE ? files : directories).push_back(path);
            unambiguous = unambiguous && plainName(path);
        }
        for (int attempt = 0; attempt < 4; ++attempt) {
            const std::string name = pick(3) == 0 ? "NEW" : POOL[pick(std::size(POOL))];
            const std::string data(pick(12), static_cast<char>('A' + pick(26)));
            const std::string directory = directories[pick(directories.size())];
            const std::string inside = (directory.empty() ? "" : directory + "/") + name;
            std::string path;
            std::vector<EditRequest> requests;
            TreeState expected = before;
            switch (pick(5)) {
                case EDIT_REPLACE:
                    if (files.empty())
                        continue;
                    path = files[pick(files.size())];
                    requests.push_back(replaceWith(path, data));
                    expected[path] = fileHolding(data);
                    break;
                case EDIT_DELETE:
                    if (before.empty())
                        continue;
                    path = std::next(before.begin(), static_cast<long>(pick(before.size())))->first;
                    requests.push_back(deleting(path));
                    for (auto it = expected.begin(); it != expected.end();) {
                        const bool below = it->first == path || it->first.rfind(path + "/", 0) == 0;
                        it = below ? expected.erase(it) : std::next(it);
                    }
                    break;
                case EDIT_RENAME:
                    if (before.empty() || name.find_first_of("/\\") != std::string::npos ||
                        name == "...")
                        continue;
                    path = std::next(before.begin(), static_cast<long>(pick(before.size())))->first;
                    requests.push_back(renaming(path, name));
                    expected.clear();  // checked by the editor's own check alone
                    break;
                case EDIT_ADD:
                    if (name.find_first_of("/\\") != std::string::npos || name == "...")
                        continue;
                    requests.push_back(addWith(inside, data));
                    expected[inside] = fileHolding(data);
                    break;
                default:
                    if (name.find_first_of("/\\") != std::string::npos || name == "...")
                        continue;
                    requests.push_back(makingDirectory(inside));
                    expected[inside] = directoryEntry();
                    break;
            }
            const bool existing = !path.empty() && plainName(path) && reachable(before, path);
            const std::optional<Bytes> after = planOrRefuse(archive, requests, existing);
            if (!after)
                continue;
            ++planned;
            // Where every path names one entry only, the result is checked here too.
            if (!expected.empty() && unambiguous) {
                const TreeState changed = treeOf(*after);
                for (const auto& [key, state] : expected) {
                    auto found = changed.find(key);
                    ASSERT_NE(found, changed.end()) << key;
                    EXPECT_EQ(found->second.kind, state.kind) << key;
                    if (state.kind == KIND_FILE) {
                        EXPECT_EQ(found->second.data, state.data) << key;
                    }
                }
                EXPECT_EQ(changed.size(), expected.size());
            }
        }
    }
    // Most changes go through: the archives are odd, not hopeless.
    EXPECT_GT(planned, 600);
}

TEST(EditorHostile, AHugeFlatListingWithHiddenNames) {
    // 20,000 files in shuffled order, in mixed case, every twentieth repeating
    // an earlier name in other letters; directory records among them (so the
    // walk must settle names before the end) lead into one small listing,
    // some under names of files, and one is named "...".
    std::mt19937 random(99);
    constexpr size_t FILES = 20000;
    std::vector<size_t> order(FILES);
    for (size_t i = 0; i < FILES; ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), random);
    auto nameOf = [](size_t i) { return "FILE" + std::to_string(100000 + i) + ".DAT"; };
    auto lettersOf = [](std::string name, size_t seed) {
        for (size_t k = 0; k < name.size(); ++k) {
            if ((seed + k) % 3 == 0)
                name[k] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[k])));
        }
        return name;
    };
    const size_t records = FILES + 12;
    const uint32_t small = static_cast<uint32_t>((records + 1) * DIR_RECORD_SIZE);
    const uint32_t data = small + 2 * DIR_RECORD_SIZE;
    Bytes archive;
    std::set<std::string> hidden;
    for (size_t i = 0; i < FILES; ++i) {
        if (i % 2000 == 1000) {
            appendRecord(archive, i == 1000 ? "..." : lettersOf(nameOf(order[i - 7]), i),
                         TYPE_DIRECTORY, 0, small);
        }
        const bool again = i % 20 == 19;
        const std::string name = lettersOf(nameOf(again ? order[i - 5] : order[i]), i);
        if (again)
            hidden.insert(nameOf(order[i - 5]));
        appendRecord(archive, name, TYPE_FILE, 1, static_cast<uint32_t>(data + i));
    }
    for (size_t i = archive.size() / DIR_RECORD_SIZE; i < records; ++i)
        appendRecord(archive, "LAST" + std::to_string(i), TYPE_FILE, 1, data);
    appendEnd(archive);
    appendRecord(archive, "INNER", TYPE_FILE, 1, data);
    appendEnd(archive);
    for (size_t i = 0; i < FILES; ++i) archive.push_back(static_cast<uint8_t>('a' + i % 26));

    const TreeState before = treeOf(archive);
    std::vector<std::string> plain;
    for (const auto& [path, state] : before) {
        // Not the files that directory records lead into: they cannot change.
        auto below = before.upper_bound(path + "/");
        const bool holds = below != before.end() && below->first.rfind(path + "/", 0) == 0;
        if (state.kind == KIND_FILE && path.find('/') == std::string::npos && !holds)
            plain.push_back(path);
    }
    ASSERT_GT(plain.size(), FILES * 9 / 10);
    // Many changes at once, each named in the letters of another record of its name.
    std::shuffle(plain.begin(), plain.end(), random);
    std::vector<EditRequest> requests;
    TreeState expected = before;
    std::vector<std::string> mayMove;
    for (size_t i = 0; i < 300; ++i) {
        const std::string& path = plain[i];
        const std::string typed = lettersOf(path, i + 1);
        if (i < 200) {
            const std::string bytes(i % 3 == 0 ? 1 : 2 + i % 5, static_cast<char>('A' + i % 26));
            requests.push_back(replaceWith(typed, bytes));
            expected[path] = fileHolding(bytes);
            mayMove.push_back(path);
        } else if (i < 250) {
            requests.push_back(deleting(typed));
            expected.erase(path);
        } else {
            const std::string renamed = "R" + std::to_string(i);
            requests.push_back(renaming(typed, renamed));
            expected[renamed] = expected[path];
            expected.erase(path);
        }
    }
    const EditPlan plan = planOrFail(archive, requests);
    expectTree(treeOf(applyPlan(archive, plan)), expected, mayMove);
    // The records of names the loader drops went with their deleted or
    // renamed entries, and the user heard of it.
    size_t withHidden = 0;
    for (size_t i = 200; i < 300; ++i) {
        std::string upper = plain[i];
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        withHidden += hidden.count(upper);
    }
    EXPECT_EQ(plan.notes.size(), withHidden);
}

}  // namespace
