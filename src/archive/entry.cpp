#include "archive/entry.h"

#include <algorithm>
#include <new>
#include <utility>

#include "archive/entry_arena.h"
#include "archive/walk.h"
#include "archive/wildmatch.h"
#include "platform/memory_blocks.h"
#include "text/ascii_fold.h"

int (*releaseInfoHook)(EntryInfo* info) = nullptr;

namespace {

constexpr size_t SPLIT_PART_LIMIT = 255;

constexpr size_t FIRST_BLOCK_BYTES = 64 * 1024;
constexpr size_t LAST_BLOCK_BYTES = 2 * 1024 * 1024;  // one huge page, where there are such

// Made on first use (static objects elsewhere may make entries) and never
// destroyed (entries may outlive every static object).
SlabPool& entryPool() {
    static SlabPool& pool = *new SlabPool(sizeof(Entry));
    return pool;
}

SlabPool& infoPool() {
    static SlabPool& pool = *new SlabPool(sizeof(EntryInfo));
    return pool;
}

}  // namespace

SlabPool::SlabPool(size_t slotSize) : slotSize_(std::max(slotSize, sizeof(void*))) {}

void* SlabPool::allocate() {
    ++live_;
    if (freeList_ != nullptr) {
        void* place = freeList_;
        freeList_ = *static_cast<void**>(place);
        return place;
    }
    if (next_ == nullptr || next_ + slotSize_ > end_)
        nextBlock();
    void* place = next_;
    next_ += slotSize_;
    return place;
}

void SlabPool::release(void* place) {
    if (place == nullptr)
        return;
    *static_cast<void**>(place) = freeList_;
    freeList_ = place;
    if (--live_ == 0) {
        // Everything is free: carve the blocks afresh, in order.
        freeList_ = nullptr;
        next_ = end_ = nullptr;
        current_ = 0;
    }
}

void SlabPool::nextBlock() {
    if (next_ != nullptr)
        ++current_;
    if (current_ == blocks_.size()) {
        const size_t bytes = blocks_.empty() ? FIRST_BLOCK_BYTES
                                             : std::min(blocks_.back().bytes * 2, LAST_BLOCK_BYTES);
        void* start = allocateMemoryBlock(bytes);
        if (start == nullptr)
            throw std::bad_alloc();
        blocks_.push_back({start, bytes});
    }
    next_ = static_cast<char*>(blocks_[current_].start);
    end_ = next_ + blocks_[current_].bytes;
}

void* Entry::operator new(size_t size) {
    if (size != sizeof(Entry))
        throw std::bad_alloc();
    return entryPool().allocate();
}

void Entry::operator delete(void* place) {
    entryPool().release(place);
}

void* EntryInfo::operator new(size_t size) {
    if (size != sizeof(EntryInfo))
        throw std::bad_alloc();
    return infoPool().allocate();
}

void EntryInfo::operator delete(void* place) {
    infoPool().release(place);
}

Entry::~Entry() {
    if (releaseInfoHook != nullptr && info != nullptr)
        releaseInfoHook(info);
    info = nullptr;
}

int releaseEntryInfo(EntryInfo* info) {
    delete info;
    return 0;
}

void destroyDescendants(Entry* directory) {
    // A directory's children go when the walk leaves it: by then everything
    // below them is gone, and the walk reads their list no more.
    TreeWalk walk(directory, WALK_EVERY_ENTRY);
    while (walk.next()) {
        if (walk.step() == WALK_LEAVE) {
            for (const Entry* child : walk.entry()->children) delete child;
        }
    }
    directory->children.clear();
}

bool entryBefore(const Entry* a, const Entry* b) {
    if (a->kind != b->kind)
        return a->kind < b->kind;
    // std::string compares as unsigned bytes, a prefix first.
    return a->name < b->name;
}

bool sameNameIgnoringCase(const std::string& a, const std::string& b) {
    return equalFoldingAscii(a, b);
}

int addChild(Entry* directory, const char* name, uint32_t size, EntryInfo* info, int32_t kind) {
    const std::string childName(name);
    for (const Entry* child : directory->children) {
        if (sameNameIgnoringCase(child->name, childName))
            return 0;
    }
    Entry* entry = new Entry;
    entry->kind = kind;
    entry->name = childName;
    entry->parent = directory;
    entry->size = size;
    entry->info = info;
    auto place = std::upper_bound(directory->children.begin(), directory->children.end(), entry,
                                  entryBefore);
    directory->children.insert(place, entry);
    return 1;
}

std::vector<Entry*>& findAll(const Entry* directory, std::vector<Entry*>& result,
                             const char* pattern) {
    for (Entry* child : directory->children) {
        if (wildMatch(pattern, child->name.c_str()))
            result.push_back(child);
    }
    return result;
}

Entry* findFirst(const Entry* directory, const char* pattern) {
    for (Entry* child : directory->children) {
        if (wildMatch(pattern, child->name.c_str()))
            return child;
    }
    return nullptr;
}

void splitName(const Entry* entry, std::string* drive, std::string* directory,
               std::string* baseName, std::string* extension) {
    const std::string& name = entry->name;
    const size_t colon = name.find(':');
    const size_t backslash = name.rfind('\\');
    // The base name starts after the last '\', else after the drive's ':'.
    size_t baseStart = 0;
    if (backslash != std::string::npos) {
        baseStart = backslash + 1;
    } else if (colon != std::string::npos) {
        baseStart = colon + 1;
    }
    // Only a dot inside the base name starts an extension, so that neither a
    // dotted directory nor a drive part is taken for one.
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot < baseStart)
        dot = std::string::npos;

    auto part = [&](size_t from, size_t to) {
        if (to <= from)
            return std::string();
        return name.substr(from, std::min(to - from, SPLIT_PART_LIMIT));
    };
    if (extension != nullptr)
        *extension = dot == std::string::npos ? "" : part(dot, name.size());
    if (drive != nullptr)
        *drive = colon == std::string::npos ? "" : part(0, std::min<size_t>(colon + 1, 2));
    if (directory != nullptr) {
        const size_t from = colon == std::string::npos ? 0 : colon + 1;
        *directory = backslash == std::string::npos ? "" : part(from, backslash + 1);
    }
    if (baseName != nullptr)
        *baseName = part(baseStart, dot == std::string::npos ? name.size() : dot);
}
