#include "archive/loader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "archive/entry.h"
#include "archive/record.h"
#include "archive/walk.h"
#include "support/archive_fixture.h"

namespace {

using Names = std::vector<std::string>;

uint32_t at(size_t records) {
    return static_cast<uint32_t>(records * DIR_RECORD_SIZE);
}

Names rootNames(const std::string& path) {
    LoadedArchive loaded(path);
    return LoadedArchive::names(&loaded.root);
}

TEST(Loader, FailsOnlyWhenTheFileCannotBeOpened) {
    TempDir dir;
    EXPECT_EQ(LoadedArchive(dir.file("missing.dir")).result, 0);
    EXPECT_EQ(LoadedArchive(dir.path()).result, 0);  // a directory is no archive

    LoadedArchive empty(dir.write("empty.dir", {}));
    EXPECT_EQ(empty.result, 1);
    EXPECT_TRUE(empty.root.children.empty());
    EXPECT_FALSE(empty.capped);
}

// Makes a file impossible to open for writing, even for root where the file
// system allows it (the immutable flag), and undoes that when it goes.
class WriteProtect {
  public:
    explicit WriteProtect(const std::string& path) : path_(path) {
        chmod(path.c_str(), 0444);
        const int fd = ::open(path.c_str(), O_RDONLY);
        int flags = 0;
        if (fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            immutable_ = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        if (fd >= 0)
            ::close(fd);
    }
    ~WriteProtect() {
        const int fd = ::open(path_.c_str(), O_RDONLY);
        int flags = 0;
        if (immutable_ && fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags &= ~FS_IMMUTABLE_FL;
            ioctl(fd, FS_IOC_SETFLAGS, &flags);
        }
        if (fd >= 0)
            ::close(fd);
    }
    // True when opening the file for writing fails, as it should.
    bool effective() const {
        const int fd = ::open(path_.c_str(), O_RDWR);
        if (fd >= 0)
            ::close(fd);
        return fd < 0;
    }

  private:
    std::string path_;
    bool immutable_ = false;
};

TEST(Loader, ReadOnlyArchivesLoad) {
    TempDir dir;
    std::vector<uint8_t> bytes;
    appendRecord(bytes, "A.BIN", TYPE_FILE, 1, 0);
    appendEnd(bytes);
    const std::string path = dir.write("ro.dir", bytes);
    WriteProtect protect(path);
    if (!protect.effective())
        GTEST_SKIP() << "cannot make a file read-only here";
    LoadedArchive loaded(path);
    EXPECT_EQ(loaded.result, 1);
    EXPECT_EQ(LoadedArchive::names(&loaded.root), Names{"A.BIN"});
}

TEST(Loader, EndRecordsAndTypeFill) {
    TempDir dir;
    // A plain 0 or 1 in the type field, without the fill, ends the listing.
    for (uint32_t stored : {0u, 1u}) {
        std::vector<uint8_t> bytes;
        appendRecord(bytes, "KEPT", TYPE_FILE);
        appendRecord(bytes, "LOST", stored ^ DIR_TYPE_FILL);
        appendRecord(bytes, "AFTER", TYPE_FILE);
        LoadedArchive loaded(dir.write("plain.dir", bytes));
        EXPECT_EQ(LoadedArchive::names(&loaded.root), Names{"KEPT"}) << stored;
    }
    // A first record that is an end record leaves the root empty.
    std::vector<uint8_t> bytes;
    appendEnd(bytes);
    appendRecord(bytes, "NEVER", TYPE_FILE);
    EXPECT_TRUE(LoadedArchive(dir.write("end.dir", bytes)).root.children.empty());
}

TEST(Loader, RecordsBecomeSortedEntries) {
    TempDir dir;
    std::vector<uint8_t> bytes;
    appendRecord(bytes, "ZETA.BIN", TYPE_FILE, 7, 1000);
    appendRecord(bytes, "SUB", TYPE_DIRECTORY, 99, at(5));
    appendRecord(bytes, "DATA/MAP.BIN", TYPE_FILE, 3, 2000);
    appendRecord(bytes, "alpha", TYPE_FILE, 0, 0);
    appendEnd(bytes);
    appendEnd(bytes);  // SUB's listing: empty
    LoadedArchive loaded(dir.write("a.dir", bytes));

    const Entry& root = loaded.root;
    EXPECT_EQ(LoadedArchive::names(&root), (Names{"SUB", "DATA\\MAP.BIN", "ZETA.BIN", "alpha"}));
    const Entry* sub = root.children[0];
    EXPECT_EQ(sub->kind, KIND_SUBDIR);
    EXPECT_EQ(sub->size, 99u);
    EXPECT_EQ(sub->info->offset, at(5));
    EXPECT_EQ(sub->parent, &root);
    ASSERT_EQ(LoadedArchive::names(sub), Names{"..."});
    EXPECT_EQ(sub->children[0]->kind, KIND_UPDIR);
    EXPECT_EQ(sub->children[0]->size, 0u);
    EXPECT_EQ(sub->children[0]->info->offset, 0u);

    const Entry* map = root.children[1];
    EXPECT_EQ(map->kind, KIND_FILE);
    EXPECT_EQ(map->size, 3u);
    EXPECT_EQ(map->info->offset, 2000u);
    EXPECT_EQ(map->info->ripped, 0);
    EXPECT_EQ(map->info->selected, 0);
}

TEST(Loader, NamesTakeAll32BytesWithoutNul) {
    TempDir dir;
    const std::string name32 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";
    std::vector<uint8_t> bytes;
    appendRecord(bytes, name32, TYPE_FILE);
    appendEnd(bytes);
    LoadedArchive loaded(dir.write("long.dir", bytes));
    EXPECT_EQ(LoadedArchive::names(&loaded.root), Names{name32});
}

TEST(Loader, NestedListingsDepthFirst) {
    TempDir dir;
    // root [dir A, file F1, end]; A [dir B, file F2, end]; B [file F3, end]
    std::vector<uint8_t> bytes;
    appendRecord(bytes, "A", TYPE_DIRECTORY, 0, at(3));
    appendRecord(bytes, "F1", TYPE_FILE);
    appendEnd(bytes);
    appendRecord(bytes, "B", TYPE_DIRECTORY, 0, at(6));
    appendRecord(bytes, "F2", TYPE_FILE);
    appendEnd(bytes);
    appendRecord(bytes, "F3", TYPE_FILE);
    appendEnd(bytes);
    LoadedArchive loaded(dir.write("nest.dir", bytes));
    Entry* a = LoadedArchive::child(&loaded.root, "A");
    ASSERT_NE(a, nullptr);
    Entry* b = LoadedArchive::child(a, "B");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(LoadedArchive::names(&loaded.root), (Names{"A", "F1"}));
    EXPECT_EQ(LoadedArchive::names(a), (Names{"...", "B", "F2"}));
    EXPECT_EQ(LoadedArchive::names(b), (Names{"...", "F3"}));
    EXPECT_EQ(b->parent, a);
}

TEST(Loader, DuplicatesKeepTheFirstAndMergeDirectoryListings) {
    TempDir dir;
    // root [file Intro.bin, file INTRO.BIN, dir A -> L1, dir a -> L2, end]
    // L1 [file X, end]; L2 [file Y, file x, end]
    std::vector<uint8_t> bytes;
    appendRecord(bytes, "Intro.bin", TYPE_FILE, 1, 100);
    appendRecord(bytes, "INTRO.BIN", TYPE_FILE, 2, 200);
    appendRecord(bytes, "A", TYPE_DIRECTORY, 0, at(5));
    appendRecord(bytes, "a", TYPE_DIRECTORY, 0, at(7));
    appendEnd(bytes);
    appendRecord(bytes, "X", TYPE_FILE);
    appendEnd(bytes);
    appendRecord(bytes, "Y", TYPE_FILE);
    appendRecord(bytes, "x", TYPE_FILE);
    appendEnd(bytes);
    LoadedArchive loaded(dir.write("dup.dir", bytes));
    EXPECT_EQ(LoadedArchive::names(&loaded.root), (Names{"A", "Intro.bin"}));
    EXPECT_EQ(loaded.root.children[1]->info->offset, 100u);
    EXPECT_EQ(LoadedArchive::names(loaded.root.children[0]), (Names{"...", "X", "Y"}));
}

TEST(Loader, DroppedDirectoryRecordFollowsIntoAFileOfThatName) {
    TempDir dir;
    // The listing of a directory record whose name a file holds already
    // still loads, below that file.
    std::vector<uint8_t> bytes;
    appendRecord(bytes, "DATA", TYPE_FILE);
    appendRecord(bytes, "data", TYPE_DIRECTORY, 0, at(3));
    appendEnd(bytes);
    appendRecord(bytes, "Q", TYPE_FILE);
    appendEnd(bytes);
    LoadedArchive loaded(dir.write("f.dir", bytes));
    ASSERT_EQ(LoadedArchive::names(&loaded.root), Names{"DATA"});
    EXPECT_EQ(LoadedArchive::names(loaded.root.children[0]), (Names{"...", "Q"}));
}

TEST(Loader, WildcardNamesAreOrdinaryNames) {
    TempDir dir;
    // root [file A.BIN, file *.BIN, dir GFX -> L1, dir * -> L2, end]
    std::vector<uint8_t> bytes;
    appendRecord(bytes, "A.BIN", TYPE_FILE);
    appendRecord(bytes, "*.BIN", TYPE_FILE);
    appendRecord(bytes, "GFX", TYPE_DIRECTORY, 0, at(5));
    appendRecord(bytes, "*", TYPE_DIRECTORY, 0, at(7));
    appendEnd(bytes);
    appendRecord(bytes, "LOGO.PCX", TYPE_FILE);
    appendEnd(bytes);
    appendRecord(bytes, "STAR.TXT", TYPE_FILE);
    appendEnd(bytes);
    LoadedArchive loaded(dir.write("w.dir", bytes));
    EXPECT_EQ(LoadedArchive::names(&loaded.root), (Names{"*", "GFX", "*.BIN", "A.BIN"}));
    EXPECT_EQ(LoadedArchive::names(loaded.root.children[0]), (Names{"...", "STAR.TXT"}));
    EXPECT_EQ(LoadedArchive::names(loaded.root.children[1]), (Names{"...", "LOGO.PCX"}));
}

TEST(Loader, DamagedArchivesLoadAsFarAsTheirRecordsGo) {
    TempDir dir;
    std::vector<uint8_t> good;
    appendRecord(good, "A", TYPE_FILE);
    appendRecord(good, "SUB", TYPE_DIRECTORY, 0, at(4));
    appendRecord(good, "B", TYPE_FILE);
    appendEnd(good);
    appendRecord(good, "C", TYPE_FILE);
    appendEnd(good);

    // Cut inside SUB's listing: SUB keeps what was read, B still loads.
    std::vector<uint8_t> cut(good.begin(), good.begin() + at(4) + 20);
    LoadedArchive cutShort(dir.write("cut.dir", cut));
    EXPECT_EQ(LoadedArchive::names(&cutShort.root), (Names{"SUB", "A", "B"}));
    EXPECT_EQ(LoadedArchive::names(cutShort.root.children[0]), Names{"..."});

    // Cut inside the second record of the root listing.
    cut.assign(good.begin(), good.begin() + at(1) + 43);
    EXPECT_EQ(rootNames(dir.write("cut2.dir", cut)), Names{"A"});

    // SUB's offset points past the end of the file.
    std::vector<uint8_t> past = good;
    encodeFixed32(past.data() + at(1) + DIR_OFFSET_OFFSET, 0xFFFFFFF0u);
    LoadedArchive pastEnd(dir.write("past.dir", past));
    EXPECT_EQ(LoadedArchive::names(&pastEnd.root), (Names{"SUB", "A", "B"}));
    EXPECT_EQ(LoadedArchive::names(pastEnd.root.children[0]), Names{"..."});

    // A flipped fill byte turns B's record into an end record.
    std::vector<uint8_t> flipped = good;
    flipped[at(2) + DIR_TYPE_OFFSET + 2] ^= 0xFF;
    EXPECT_EQ(rootNames(dir.write("flip.dir", flipped)), (Names{"SUB", "A"}));
}

TEST(Loader, ListingsThatLeadBackIntoThemselvesStop) {
    TempDir dir;
    // root [dir A -> L1, dir LOOP -> 0, end]; L1 [dir BACK -> 0, dir SELF -> L1, file F, end]
    std::vector<uint8_t> bytes;
    appendRecord(bytes, "A", TYPE_DIRECTORY, 0, at(3));
    appendRecord(bytes, "LOOP", TYPE_DIRECTORY, 0, 0);
    appendEnd(bytes);
    appendRecord(bytes, "BACK", TYPE_DIRECTORY, 0, 0);
    appendRecord(bytes, "SELF", TYPE_DIRECTORY, 0, at(3));
    appendRecord(bytes, "F", TYPE_FILE);
    appendEnd(bytes);
    LoadedArchive loaded(dir.write("cycle.dir", bytes));
    EXPECT_FALSE(loaded.capped);
    EXPECT_EQ(LoadedArchive::names(&loaded.root), (Names{"A", "LOOP"}));
    Entry* a = loaded.root.children[0];
    EXPECT_EQ(LoadedArchive::names(a), (Names{"...", "BACK", "SELF", "F"}));
    EXPECT_EQ(LoadedArchive::names(a->children[1]), Names{"..."});
    EXPECT_EQ(LoadedArchive::names(a->children[2]), Names{"..."});
    EXPECT_EQ(LoadedArchive::names(loaded.root.children[1]), Names{"..."});
}

TEST(Loader, SharedListingsStopAtTheCap) {
    TempDir dir;
    // 40 listings of two directory records each, both pointing to the next
    // listing: 2^40 directories if nothing stopped the walk.
    std::vector<uint8_t> bytes;
    const int levels = 40;
    for (int level = 0; level < levels; ++level) {
        const uint32_t next = at(static_cast<size_t>(level + 1) * 3);
        appendRecord(bytes, "L", TYPE_DIRECTORY, 0, next);
        appendRecord(bytes, "R", TYPE_DIRECTORY, 0, next);
        appendEnd(bytes);
    }
    appendRecord(bytes, "LEAF", TYPE_FILE);
    appendEnd(bytes);
    LoadedArchive loaded(dir.write("bomb.dir", bytes), 5000);
    EXPECT_EQ(loaded.result, 1);
    EXPECT_TRUE(loaded.capped);
    // Depth first: the cap comes while the first branch is still being read.
    EXPECT_EQ(LoadedArchive::names(&loaded.root), Names{"L"});
    size_t entries = 0;
    std::vector<const Entry*> pending{&loaded.root};
    while (!pending.empty()) {
        const Entry* entry = pending.back();
        pending.pop_back();
        entries += entry->children.size();
        pending.insert(pending.end(), entry->children.begin(), entry->children.end());
    }
    EXPECT_LE(entries, 2u * 5000u);  // each record and each "..." it brings

    // The same cap leaves an archive below it alone.
    LoadedArchive small(
        dir.write("small.dir", std::vector<uint8_t>(bytes.end() - at(2), bytes.end())), 5000);
    EXPECT_FALSE(small.capped);
}

TEST(Loader, TheCapCountsEveryRecordReadExactly) {
    TempDir dir;
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 10; ++i) appendRecord(bytes, "F" + std::to_string(i), TYPE_FILE);
    appendRecord(bytes, "f0", TYPE_FILE);  // dropped as a duplicate, but read
    appendEnd(bytes);
    const std::string path = dir.write("flat.dir", bytes);
    struct Case {
        uint32_t cap;
        size_t children;
        bool capped;
    };
    const Case cases[] = {{1, 1, true}, {10, 10, true}, {11, 10, false}, {12, 10, false}};
    for (const Case& c : cases) {
        LoadedArchive loaded(path, c.cap);
        EXPECT_EQ(loaded.root.children.size(), c.children) << c.cap;
        EXPECT_EQ(loaded.capped, c.capped) << c.cap;
    }
}

TEST(Loader, RecordsBeyondTheFileSizeAreAllowedOnlyForSharing) {
    struct Case {
        uint64_t fileSize;
        uint32_t cap;
        uint32_t expected;
    };
    const Case cases[] = {
        {0, LOAD_ENTRY_CAP, LOAD_SHARED_ALLOWANCE},
        {4048, LOAD_ENTRY_CAP, 92 + LOAD_SHARED_ALLOWANCE},
        {4048, 5000, 5000},
        // An honest archive of millions of records is not cut short.
        {44ull * 10'000'000, LOAD_ENTRY_CAP, 10'000'000 + LOAD_SHARED_ALLOWANCE},
        {44ull * 100'000'000, LOAD_ENTRY_CAP, LOAD_ENTRY_CAP},
    };
    for (const Case& c : cases)
        EXPECT_EQ(loadRecordCap(c.fileSize, c.cap), c.expected) << c.fileSize;
}

TEST(Loader, SmallFileOfSharedListingsStopsLongBeforeTheEntryCap) {
    // 4 KB: 30 listings of two directory records each pointing at the next
    // listing. Reading it all would take 2^30 directories.
    const std::string path =
        std::string(DIRRIP_SOURCE_DIR) + "/fuzz/corpus/loader/seed-shared-bomb";
    LoadedArchive loaded(path);
    EXPECT_TRUE(loaded.capped);
    size_t entries = 0;
    for (TreeWalk walk(&loaded.root, WALK_WITHOUT_PATHS); walk.next();) {
        if (walk.step() == WALK_ENTER)
            entries += walk.entry()->children.size();
    }
    // Each record read brings at most itself and a "...".
    EXPECT_LE(entries, 2u * (4048 / DIR_RECORD_SIZE + LOAD_SHARED_ALLOWANCE));
}

// The loader's tree must be the one that adding records one at a time with
// addChild gives. This is that one-at-a-time walk, kept deliberately simple.
void referenceLoad(const std::vector<uint8_t>& bytes, Entry* root, uint32_t cap) {
    Entry* current = root;
    uint64_t position = 0;
    std::vector<uint64_t> returns;
    std::vector<uint64_t> starts{0};
    uint32_t records = 0;
    for (;;) {
        bool isEnd = position + DIR_RECORD_SIZE > bytes.size();
        DirRecord record;
        if (!isEnd) {
            record = decodeDirRecord(bytes.data() + position);
            isEnd = record.type != TYPE_FILE && record.type != TYPE_DIRECTORY;
        }
        if (isEnd) {
            if (returns.empty())
                return;
            current = current->parent;
            position = returns.back();
            returns.pop_back();
            starts.pop_back();
            continue;
        }
        if (records == cap)
            return;
        ++records;
        position += DIR_RECORD_SIZE;
        const std::string name = recordEntryName(record);
        EntryInfo* info = new EntryInfo;
        info->offset = record.offset;
        const int32_t kind = record.type == TYPE_FILE ? KIND_FILE : KIND_SUBDIR;
        if (addChild(current, name.c_str(), record.size, info, kind) == 0)
            delete info;
        if (kind == KIND_FILE)
            continue;
        Entry* target = nullptr;
        for (Entry* child : current->children) {
            if (sameNameIgnoringCase(child->name, name))
                target = child;
        }
        EntryInfo* up = new EntryInfo;
        if (addChild(target, "...", 0, up, KIND_UPDIR) == 0)
            delete up;
        if (std::find(starts.begin(), starts.end(), record.offset) != starts.end())
            continue;
        returns.push_back(position);
        starts.push_back(record.offset);
        current = target;
        position = record.offset;
    }
}

void expectSameTree(const Entry* expected, const Entry* actual, const std::string& path) {
    ASSERT_EQ(LoadedArchive::names(actual), LoadedArchive::names(expected)) << path;
    for (size_t i = 0; i < expected->children.size(); ++i) {
        const Entry* e = expected->children[i];
        const Entry* a = actual->children[i];
        ASSERT_EQ(a->kind, e->kind) << path << e->name;
        ASSERT_EQ(a->size, e->size) << path << e->name;
        ASSERT_EQ(a->info->offset, e->info->offset) << path << e->name;
        ASSERT_EQ(a->parent, actual) << path << e->name;
        expectSameTree(e, a, path + e->name + "\\");
    }
}

TEST(Loader, SameTreeAsAddingRecordsOneAtATime) {
    // Mixed case exercises the duplicate rule; upper case only, with listings
    // in rising or falling name order, the loader's shortcuts for lists that
    // need no reordering.
    // The last two are equal in their first 15 bytes and differ in the 16th.
    const std::string stem = "abcdefghijklmno";
    const std::vector<std::string> mixedNames = {"a",   "A",   "b",    "B",        "*",
                                                 "?",   "[1]", "1",    "dir",      "DIR",
                                                 "...", "a/b", "a\\b", stem + "p", stem + "q"};
    const std::vector<std::string> upperNames = {"A",    "B",   "C", "D", "...", "E/F",
                                                 "E\\F", "[1]", "*", "!", "Z",   "AB"};
    const uint32_t cap = 3000;
    TempDir dir;
    for (unsigned seed = 0; seed < 600; ++seed) {
        std::mt19937 random(seed);
        auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
        const std::vector<std::string>& names = seed < 300 ? mixedNames : upperNames;
        const int order = seed < 300 ? 0 : static_cast<int>(seed % 3);  // 1 rising, 2 falling
        // A few listings laid end to end, each record pointing anywhere.
        const size_t listings = 1 + pick(6);
        std::vector<size_t> lengths(listings);
        std::vector<uint32_t> starts(listings);
        size_t total = 0;
        for (size_t i = 0; i < listings; ++i) {
            lengths[i] = pick(9);
            starts[i] = at(total);
            total += lengths[i] + 1;
        }
        std::vector<uint8_t> bytes;
        for (size_t i = 0; i < listings; ++i) {
            std::vector<std::string> listing;
            for (size_t r = 0; r < lengths[i]; ++r) listing.push_back(names[pick(names.size())]);
            if (order != 0)
                std::sort(listing.begin(), listing.end());
            if (order == 2)
                std::reverse(listing.begin(), listing.end());
            for (const std::string& name : listing) {
                const bool isDirectory = pick(order == 0 ? 3 : 12) == 0;
                uint32_t offset =
                    isDirectory ? starts[pick(listings)] : static_cast<uint32_t>(random());
                if (isDirectory && pick(10) == 0)
                    offset = at(total + 1);  // past the end
                appendRecord(bytes, name, isDirectory ? TYPE_DIRECTORY : TYPE_FILE,
                             static_cast<uint32_t>(pick(1000)), offset);
            }
            appendEnd(bytes);
        }
        if (pick(4) == 0)
            bytes.resize(bytes.size() - pick(bytes.size()));

        releaseInfoHook = releaseEntryInfo;
        Entry expected;
        expected.info = new EntryInfo;
        referenceLoad(bytes, &expected, cap);
        LoadedArchive loaded(dir.write("random.dir", bytes), cap);
        SCOPED_TRACE("seed " + std::to_string(seed));
        expectSameTree(&expected, &loaded.root, "\\");
        destroyDescendants(&expected);
    }
}

}  // namespace
