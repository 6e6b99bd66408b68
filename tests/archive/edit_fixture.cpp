#include "edit_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "archive/loader.h"
#include "archive/walk.h"
#include "support/memory_byte_store.h"
#include "support/test_tree.h"

TreeState treeOf(const std::vector<uint8_t>& archive) {
    MemoryByteStore store(archive);
    TestTree tree;
    loadArchiveFrom(store, tree.root(), LOAD_ENTRY_CAP);
    TreeState state;
    for (TreeWalk walk(tree.root()); walk.next();) {
        const Entry* entry = walk.entry();
        if (walk.step() == WALK_LEAVE || entry == tree.root())
            continue;
        EntryState& item = state[walk.path()];
        item.kind = entry->kind;
        item.size = entry->size;
        item.offset = entry->info->offset;
        if (entry->kind == KIND_FILE) {
            const uint64_t end = uint64_t{item.offset} + item.size;
            item.data = end <= archive.size()
                            ? std::string(archive.begin() + item.offset, archive.begin() + end)
                            : "<past the end>";
        }
    }
    return state;
}

std::vector<uint8_t> applyPlan(const std::vector<uint8_t>& archive, const EditPlan& plan) {
    EXPECT_EQ(plan.oldLength, archive.size());
    MemoryByteStore store(archive);
    for (const EditWrite& write : plan.writes) {
        std::vector<uint8_t> bytes;
        if (write.source == EDIT_SOURCE_BYTES) {
            bytes = write.bytes;
        } else if (write.source == EDIT_SOURCE_ARCHIVE) {
            // The archive's bytes as they were before the step.
            bytes.assign(archive.begin() + write.sourceOffset,
                         archive.begin() + write.sourceOffset + write.length);
        } else {
            std::ifstream file(write.hostPath, std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(file), {});
        }
        EXPECT_EQ(bytes.size(), write.length);
        std::string why;
        EXPECT_EQ(store.writeAt(write.offset, bytes.data(), bytes.size(), &why), 1) << why;
    }
    EXPECT_LE(store.bytes.size(), plan.newLength);
    store.bytes.resize(plan.newLength, 0);
    return store.bytes;
}

namespace {

EditRequest request(EditOperation operation, const std::string& path) {
    EditRequest made;
    made.operation = operation;
    made.path = path;
    return made;
}

EditRequest withData(EditOperation operation, const std::string& path, const std::string& data) {
    EditRequest made = request(operation, path);
    made.source = EDIT_SOURCE_BYTES;
    made.bytes.assign(data.begin(), data.end());
    return made;
}

}  // namespace

EditRequest replaceWith(const std::string& path, const std::string& data) {
    return withData(EDIT_REPLACE, path, data);
}

EditRequest addWith(const std::string& path, const std::string& data) {
    return withData(EDIT_ADD, path, data);
}

EditRequest deleting(const std::string& path) {
    return request(EDIT_DELETE, path);
}

EditRequest renaming(const std::string& path, const std::string& newName) {
    EditRequest made = request(EDIT_RENAME, path);
    made.newName = newName;
    return made;
}

EditRequest makingDirectory(const std::string& path) {
    return request(EDIT_MKDIR, path);
}

EditPlan planOrFail(const std::vector<uint8_t>& archive, const std::vector<EditRequest>& requests) {
    MemoryByteStore store(archive);
    EditPlan plan;
    std::string why;
    EXPECT_EQ(planArchiveEdit(store, requests, &plan, &why), 1) << why;
    return plan;
}

std::string refusal(const std::vector<uint8_t>& archive, const std::vector<EditRequest>& requests) {
    MemoryByteStore store(archive);
    EditPlan plan;
    plan.description = "untouched";
    std::string why;
    if (planArchiveEdit(store, requests, &plan, &why) == 1)
        return "";
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(plan.description, "untouched");  // a refusal leaves the plan as it was
    return why;
}

void expectTree(const TreeState& after, const TreeState& expected,
                const std::vector<std::string>& mayMove) {
    for (const auto& [path, want] : expected) {
        auto have = after.find(path);
        if (have == after.end()) {
            ADD_FAILURE() << "missing " << path;
            continue;
        }
        EXPECT_EQ(have->second.kind, want.kind) << path;
        EXPECT_EQ(have->second.data, want.data) << path;
        if (want.kind == KIND_FILE) {
            EXPECT_EQ(have->second.size, want.data.size()) << path;
        }
        if (std::find(mayMove.begin(), mayMove.end(), path) == mayMove.end()) {
            EXPECT_EQ(have->second.offset, want.offset) << path;
        }
    }
    for (const auto& [path, have] : after) {
        if (expected.count(path) == 0)
            ADD_FAILURE() << "unexpected " << path;
    }
}

EntryState fileHolding(const std::string& data, uint32_t offset) {
    EntryState state;
    state.kind = KIND_FILE;
    state.size = static_cast<uint32_t>(data.size());
    state.offset = offset;
    state.data = data;
    return state;
}

EntryState directoryEntry() {
    EntryState state;
    state.kind = KIND_SUBDIR;
    return state;
}
