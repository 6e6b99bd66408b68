// The in-memory tree of an archive's entries.
//
// The loader builds the tree once; afterwards only EntryInfo::ripped,
// EntryInfo::selected and Entry::savedCursor ever change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What a node of the tree is. Value 1 is unused; rows and lists show any
// other value as a "TERMINATOR".
enum EntryKind : int32_t {
    KIND_ROOT = 0,    // the archive itself, made by start-up
    KIND_UPDIR = 2,   // the "..." entry leading back to the parent
    KIND_SUBDIR = 3,  // a sub-directory
    KIND_FILE = 4,    // a file
};

// Per-entry data, handed to addChild by whoever creates the entry and
// released through releaseInfoHook.
struct EntryInfo {
    uint8_t ripped = 0;    // 1 once the file has been ripped to disk
    uint8_t selected = 0;  // the user's selection mark; only files carry 1
    uint32_t offset = 0;   // file: position of its data; directory: of its listing

    // EntryInfos come from a pool of large blocks (archive/entry_arena.h);
    // new and delete are used as usual.
    static void* operator new(size_t size);
    static void operator delete(void* place);
};

// One node of the archive tree. Children are kept sorted: lower kind first
// ("..." then sub-directories then files), then by byte order of the names.
class Entry {
  public:
    int32_t kind = KIND_ROOT;
    std::string name;              // as stored (with '\' where the archive had '/')
    std::vector<Entry*> children;  // sorted, see above; empty for files and "..."
    Entry* parent = nullptr;       // null for the root
    uint32_t size = 0;             // the record's size field; 0 for the root and "..."
    EntryInfo* info = nullptr;     // released through releaseInfoHook
    int32_t savedCursor = 0;       // cursor remembered while a sub-directory is open

    // Entries come from a pool of large blocks (archive/entry_arena.h); new
    // and delete are used as usual.
    static void* operator new(size_t size);
    static void operator delete(void* place);

    Entry() = default;
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;
    // Releases the name, the info (through releaseInfoHook when set) and the
    // storage of the child list; the children themselves are not destroyed.
    ~Entry();
};

// The program-wide routine through which an EntryInfo is released; empty at
// first, set by start-up before loading.
extern int (*releaseInfoHook)(EntryInfo* info);

// The usual releaseInfoHook: deletes an EntryInfo made with `new` (the loader
// and addChild's callers make them so). Returns 0.
int releaseEntryInfo(EntryInfo* info);

// Destroys every entry below `directory` (not `directory` itself) with
// delete, and leaves `directory` without children. Works without recursion,
// so trees of any depth can be torn down. Ownership: the root belongs to
// whoever made it (start-up) and is destroyed by its owner; every other entry
// is made by addChild or the loader with new and is referred to only by its
// parent. The program may leave them to the end of the process.
void destroyDescendants(Entry* directory);

// True when `a` comes before `b` among a directory's children: lower kind
// first, then byte order of the names (unsigned, a prefix first).
bool entryBefore(const Entry* a, const Entry* b);

// True when the names are equal once the ASCII letters a..z are taken as A..Z;
// the duplicate test of addChild and of the loader.
bool sameNameIgnoringCase(const std::string& a, const std::string& b);

// Adds a child named `name` to `directory` in sorted position. Returns 1 when
// added (taking over `info`), 0 when a child of the same name ignoring ASCII
// letter case exists (the caller keeps `info`). The name is compared by
// equality, never as a pattern, so names holding '*', '?' or '[' are kept.
int addChild(Entry* directory, const char* name, uint32_t size, EntryInfo* info, int32_t kind);

// Appends to `result` every child of `directory` whose name the wildcard
// `pattern` matches, in the children's order; returns `result`.
std::vector<Entry*>& findAll(const Entry* directory, std::vector<Entry*>& result,
                             const char* pattern);

// Returns the first child in order whose name `pattern` matches, or null.
Entry* findFirst(const Entry* directory, const char* pattern);

// Splits the entry's name into drive ("C:"), directory (up to the last '\'),
// base name and extension (from the last '.', dot included). Any output may be null.
void splitName(const Entry* entry, std::string* drive, std::string* directory,
               std::string* baseName, std::string* extension);

// Returns the entry's path from the root, '\' between names; a directory's
// path (anything but a file) ends in '\'.
std::string fullPath(const Entry* entry);
