// Names in the listing map: settling the names the loader takes twice, and
// finding an entry by name. The walk does not look every record's name up:
// a file record is appended to its directory unchecked, and names taken twice
// are settled in bulk, by sorting each directory once when the walk ends.
// Only a directory record must know at once which entry holds its name (its
// listing is read into that entry), so a directory that has directory records
// also gets a hash table over the entries checked so far. After the walk a
// directory's entries stay sorted by folded name for lookups; entries named
// since, by the change, are found through a table of their own.
#include "archive/listing_map.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "text/ascii_fold.h"

namespace {

// A name byte as lookups compare it: '/' is the '\' the tree shows, and
// letters count without their case.
constexpr std::array<unsigned char, 256> KEY_BYTES = [] {
    std::array<unsigned char, 256> bytes{};
    for (int c = 0; c < 256; ++c)
        bytes[c] = c == '/' ? '\\' : foldAscii(static_cast<unsigned char>(c));
    return bytes;
}();

unsigned char keyByte(char c) {
    return KEY_BYTES[static_cast<unsigned char>(c)];
}

// A name as stored, without copying it.
struct NameBytes {
    const char* data;
    size_t length;
};

NameBytes recordName(const DirRecord& record) {
    const void* end = std::memchr(record.name, '\0', DIR_NAME_SIZE);
    const size_t length = end == nullptr
                              ? DIR_NAME_SIZE
                              : static_cast<size_t>(static_cast<const char*>(end) - record.name);
    return {record.name, length};
}

NameBytes storedName(const ModelNode* node) {
    static const char UPDIR[] = "...";
    if (node->kind == KIND_UPDIR)
        return {UPDIR, 3};
    return recordName(node->first.reading->listing->records[node->first.index]);
}

// Compares the key bytes of two names from byte `from` on.
int compareFrom(NameBytes a, NameBytes b, size_t from) {
    const size_t length = std::min(a.length, b.length);
    // Equal bytes are equal key bytes: those are passed a word at a time.
    while (from + 8 <= length && std::memcmp(a.data + from, b.data + from, 8) == 0) from += 8;
    for (size_t i = from; i < length; ++i) {
        const unsigned char x = keyByte(a.data[i]);
        const unsigned char y = keyByte(b.data[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.length == b.length ? 0 : (a.length < b.length ? -1 : 1);
}

// The first 16 key bytes, big-endian and zero-padded (names hold no NUL, so a
// prefix sorts first): they settle nearly every comparison.
struct Prefix {
    uint64_t high = 0;
    uint64_t low = 0;
    bool operator==(const Prefix&) const = default;
    bool operator<(const Prefix& other) const {
        return high != other.high ? high < other.high : low < other.low;
    }
};

Prefix prefixOf(NameBytes name) {
    unsigned char bytes[16] = {};
    const size_t length = std::min<size_t>(name.length, 16);
    for (size_t i = 0; i < length; ++i) bytes[i] = keyByte(name.data[i]);
    Prefix prefix;
    for (size_t i = 0; i < 8; ++i) {
        prefix.high = prefix.high << 8 | bytes[i];
        prefix.low = prefix.low << 8 | bytes[8 + i];
    }
    return prefix;
}

uint32_t hashName(NameBytes name) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (size_t i = 0; i < name.length; ++i) h = (h ^ keyByte(name.data[i])) * 0x100000001b3ull;
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    return static_cast<uint32_t>(h);
}

// The directory's table of checked children: each slot holds a name's hash
// above the child's index + 1; 0 is empty.
int64_t tableFind(const NodeExtra* extra, uint32_t hash, NameBytes name) {
    if (extra->table.empty())
        return -1;
    const size_t mask = extra->table.size() - 1;
    for (size_t i = hash & mask; extra->table[i] != 0; i = (i + 1) & mask) {
        if (static_cast<uint32_t>(extra->table[i] >> 32) != hash)
            continue;
        const uint32_t index = static_cast<uint32_t>(extra->table[i]) - 1;
        if (compareFrom(storedName(extra->children[index]), name, 0) == 0)
            return index;
    }
    return -1;
}

void tablePlace(ArenaVector<uint64_t>& table, uint64_t value) {
    const size_t mask = table.size() - 1;
    size_t i = static_cast<uint32_t>(value >> 32) & mask;
    while (table[i] != 0) i = (i + 1) & mask;
    table[i] = value;
}

void tableInsert(NodeExtra* extra, uint32_t hash, size_t index) {
    if ((extra->tableUsed + 1) * 2 > extra->table.size()) {
        ArenaVector<uint64_t> bigger(std::max<size_t>(16, extra->table.size() * 2), 0,
                                     extra->table.get_allocator());
        for (uint64_t value : extra->table) {
            if (value != 0)
                tablePlace(bigger, value);
        }
        extra->table.swap(bigger);
    }
    tablePlace(extra->table, (uint64_t{hash} << 32) | (uint64_t{index} + 1));
    ++extra->tableUsed;
}

}  // namespace

std::string ListingMap::keyOf(const ModelNode* node) const {
    const NameBytes name = storedName(node);
    std::string key(name.length, '\0');
    for (size_t i = 0; i < name.length; ++i) key[i] = static_cast<char>(keyByte(name.data[i]));
    return key;
}

std::string ListingMap::addedKey(const ModelNode* directory, std::string_view name) const {
    std::string key(sizeof directory, '\0');
    std::copy_n(reinterpret_cast<const char*>(&directory), sizeof directory, key.begin());
    for (char c : name) key += static_cast<char>(keyByte(c));
    return key;
}

void ListingMap::index(ModelNode* node) {
    if (walking_) {
        extra(node->parent)->children.push_back(node);
        return;
    }
    node->added = true;
    added_[addedKey(node->parent, nameOf(node))] = node;
}

void ListingMap::unindex(ModelNode* node) {
    if (node->added) {
        added_.erase(addedKey(node->parent, nameOf(node)));
        node->added = false;
    } else if (!node->retired) {
        // Its place among its directory's sorted children is kept under the
        // name it had, so that the search over them stays in order.
        retiredKeys_[node] = keyOf(node);
        node->retired = true;
    }
}

ModelNode* ListingMap::child(const ModelNode* directory, std::string_view name) const {
    if (!added_.empty()) {
        auto found = added_.find(addedKey(directory, name));
        if (found != added_.end())
            return found->second;
    }
    if (directory->extra == nullptr)
        return nullptr;
    const ArenaVector<ModelNode*>& children = directory->extra->children;
    const NameBytes wanted{name.data(), name.size()};
    auto compare = [&](const ModelNode* node) {
        if (!node->retired)
            return compareFrom(storedName(node), wanted, 0);
        const std::string& key = retiredKeys_.at(node);
        // The retired key holds key bytes already, which keyByte leaves alone
        // ('\' and capitals map to themselves).
        return compareFrom({key.data(), key.size()}, wanted, 0);
    };
    size_t low = 0;
    size_t high = children.size();
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        const int order = compare(children[middle]);
        if (order == 0)
            return children[middle]->retired ? nullptr : children[middle];
        if (order < 0)
            low = middle + 1;
        else
            high = middle;
    }
    return nullptr;
}

void ListingMap::hideBehind(ModelNode* kept, ModelNode* dropped) {
    extra(kept)->hidden.push_back(dropped->first);
    dropped->first.reading->slots[dropped->first.index] = kept;
    dropped->alive = false;
}

void ListingMap::catchUp(NodeExtra* directory) {
    ArenaVector<ModelNode*>& children = directory->children;
    size_t kept = directory->checked;
    for (size_t i = directory->checked; i < children.size(); ++i) {
        ModelNode* node = children[i];
        const NameBytes name = storedName(node);
        const uint32_t hash = hashName(name);
        const int64_t found = tableFind(directory, hash, name);
        if (found >= 0) {
            hideBehind(children[static_cast<size_t>(found)], node);
            continue;
        }
        children[kept] = node;
        tableInsert(directory, hash, kept);
        ++kept;
    }
    children.resize(kept);
    directory->checked = kept;
}

ModelNode* ListingMap::walkChild(ModelNode* directory, const DirRecord& record, RecordRef ref) {
    NodeExtra* directoryExtra = extra(directory);
    catchUp(directoryExtra);
    const NameBytes name = recordName(record);
    const uint32_t hash = hashName(name);
    const int64_t found = tableFind(directoryExtra, hash, name);
    if (found >= 0) {
        ModelNode* target = directoryExtra->children[static_cast<size_t>(found)];
        extra(target)->hidden.push_back(ref);
        return target;
    }
    ModelNode* target = makeNode(directory, KIND_SUBDIR, ref);
    directoryExtra->children.push_back(target);
    tableInsert(directoryExtra, hash, directoryExtra->children.size() - 1);
    directoryExtra->checked = directoryExtra->children.size();
    return target;
}

void ListingMap::settle(NodeExtra* directory) {
    ArenaVector<ModelNode*>& children = directory->children;
    // Listings are mostly in order already (--create writes them so): one
    // pass tells, and then there is nothing to drop either.
    bool ordered = true;
    NameBytes previous = children.empty() ? NameBytes{} : storedName(children[0]);
    for (size_t i = 1; i < children.size() && ordered; ++i) {
        const NameBytes name = storedName(children[i]);
        ordered = compareFrom(previous, name, 0) < 0;
        previous = name;
    }
    if (ordered)
        return;
    struct Key {
        Prefix prefix;
        uint32_t position;  // walk order: the first of a name stays
        ModelNode* node;
    };
    LargeVector<Key> keys;
    keys.reserve(children.size());
    for (size_t i = 0; i < children.size(); ++i)
        keys.push_back({prefixOf(storedName(children[i])), static_cast<uint32_t>(i), children[i]});
    auto order = [](const Key& a, const Key& b) {
        if (!(a.prefix == b.prefix))
            return a.prefix < b.prefix;
        const int tails = compareFrom(storedName(a.node), storedName(b.node), 16);
        return tails != 0 ? tails < 0 : a.position < b.position;
    };
    std::sort(keys.begin(), keys.end(), order);
    size_t kept = 0;
    for (size_t i = 0; i < keys.size(); ++i) {
        if (kept > 0 && keys[kept - 1].prefix == keys[i].prefix &&
            compareFrom(storedName(keys[kept - 1].node), storedName(keys[i].node), 16) == 0) {
            hideBehind(keys[kept - 1].node, keys[i].node);
            continue;
        }
        keys[kept++] = keys[i];
    }
    children.resize(kept);
    for (size_t i = 0; i < kept; ++i) children[i] = keys[i].node;
}
