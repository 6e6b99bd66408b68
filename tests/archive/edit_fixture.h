// Helpers for the tests of changing archives in place: plans applied to
// in-memory archives, and whole trees taken down to compare before and after.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "archive/edit_plan.h"
#include "archive/editor.h"

// One entry of a loaded tree: what it is, where it points and the bytes there.
struct EntryState {
    int32_t kind = 0;
    uint32_t size = 0;
    uint32_t offset = 0;
    std::string data;  // a file's bytes ("<past the end>" when they are not all there)
    bool operator==(const EntryState&) const = default;
};

// Every entry below the root by its path ('/' between names), "..." left out.
using TreeState = std::map<std::string, EntryState>;

// The tree the loader reads from `archive`.
TreeState treeOf(const std::vector<uint8_t>& archive);

// `archive` after the plan's writes, applied in order to a MemoryByteStore.
std::vector<uint8_t> applyPlan(const std::vector<uint8_t>& archive, const EditPlan& plan);

// Requests, written short.
EditRequest replaceWith(const std::string& path, const std::string& data);
EditRequest addWith(const std::string& path, const std::string& data);
EditRequest deleting(const std::string& path);
EditRequest renaming(const std::string& path, const std::string& newName);
EditRequest makingDirectory(const std::string& path);

// Plans `requests` on `archive`; a refusal fails the test. Returns the plan.
EditPlan planOrFail(const std::vector<uint8_t>& archive, const std::vector<EditRequest>& requests);

// Plans `requests` on `archive` and returns why it was refused ("" when it was not).
std::string refusal(const std::vector<uint8_t>& archive, const std::vector<EditRequest>& requests);

// Expects `after` to hold exactly the entries of `expected` with their kind,
// size and bytes, and their offsets too unless their path is in `mayMove`.
void expectTree(const TreeState& after, const TreeState& expected,
                const std::vector<std::string>& mayMove = {});

// A file entry holding `data` (offset left to compare or to ignore).
EntryState fileHolding(const std::string& data, uint32_t offset = 0);
// A directory entry.
EntryState directoryEntry();
