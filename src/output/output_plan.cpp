#include "output/output_plan.h"

#include <algorithm>
#include <tuple>
#include <unordered_map>

#include "archive/entry.h"
#include "archive/walk.h"

namespace {

bool isDirectory(const Entry* entry) {
    return entry->kind == KIND_SUBDIR || entry->kind == KIND_ROOT;
}

std::vector<std::string_view> partsOf(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start < path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

class Planner {
  public:
    Planner(const Entry* base, const OutputNameRules& rules, OutputPlan* plan)
        : base_(base), rules_(rules), plan_(*plan) {
        // Most entries make one node: a single growth then.
        plan_.nodes.reserve(plan_.entryNodes.size() + 1);
        claims_.reserve(plan_.entryNodes.size() + 1);
        plan_.nodes.emplace_back();
        claims_.emplace_back();
    }

    void addFile(const Entry* file, uint32_t index) {
        const Place place = placeOf(file->parent, index, false);
        const std::string own = writtenPathFor(file->name, rules_);
        const std::vector<std::string_view> parts = partsOf(own);
        if (parts.empty()) {
            plan_.entryNodes[index] = NO_PLANNED_NODE;
            return;
        }
        const bool plain = place.plain && own == plainOutputPath(file->name);
        const size_t before = plan_.nodes.size();
        uint32_t node = place.node;
        // A name holding '\' leads through directories of its own.
        for (size_t i = 0; i + 1 < parts.size(); ++i)
            node = directoryNode(node, parts[i], plain, index, file, false);
        node = addNode(node, parts.back(), rules_.nameKey(parts.back()), false, plain, index, file,
                       false);
        finishEntry(before, node);
        plan_.entryNodes[index] = node;
    }

    void addDirectory(const Entry* directory, uint32_t index) {
        plan_.entryNodes[index] = placeOf(directory, index, true).node;
    }

    // Gives every node its name, directory by directory from the base down.
    void settle() {
        std::vector<uint32_t> pending{0};
        while (!pending.empty()) {
            const uint32_t directory = pending.back();
            pending.pop_back();
            std::vector<uint32_t> children = std::move(claims_[directory].children);
            settleDirectory(children);
            for (uint32_t child : children)
                if (plan_.nodes[child].directory)
                    pending.push_back(child);
        }
        std::sort(plan_.numbered.begin(), plan_.numbered.end(),
                  [&](uint32_t a, uint32_t b) { return claims_[a].first < claims_[b].first; });
    }

  private:
    // What a node needs only while names are settled.
    struct Claim {
        std::string key;     // its wanted name as the file system compares it
        uint32_t first = 0;  // the run index of the first entry leading to it
        bool plain = true;   // some entry reaches it by a path that needed no change
        bool late = false;   // a directory no file of the run leads into
        std::vector<uint32_t> children;
    };

    // Where an archive directory's contents go: its node, and whether its
    // whole path below the base needed no change.
    struct Place {
        uint32_t node;
        bool plain;
    };

    Place placeOf(const Entry* directory, uint32_t index, bool late) {
        // Resolved from the nearest directory already placed (or the base)
        // down, without recursion, so any depth costs no call stack.
        std::vector<const Entry*> chain;
        Place place{0, true};
        for (const Entry* at = directory; at != nullptr && at != base_; at = at->parent) {
            auto known = places_.find(at);
            if (known != places_.end()) {
                place = known->second;
                break;
            }
            chain.push_back(at);
        }
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            const std::string own = writtenPathFor((*it)->name, rules_);
            const bool plain = place.plain && own == plainOutputPath((*it)->name);
            const size_t before = plan_.nodes.size();
            uint32_t node = place.node;
            for (std::string_view part : partsOf(own))
                node = directoryNode(node, part, plain, index, *it, late);
            finishEntry(before, node);
            place = {node, plain};
            places_.emplace(*it, place);
        }
        return place;
    }

    // The directory `name` inside directory node `parent`, made when no
    // directory of that key is there yet; directories of one key merge.
    uint32_t directoryNode(uint32_t parent, std::string_view name, bool plain, uint32_t index,
                           const Entry* entry, bool late) {
        std::string key = rules_.nameKey(name);
        std::string lookup = std::to_string(parent) + '/' + key;
        auto known = directories_.find(lookup);
        if (known != directories_.end()) {
            claims_[known->second].plain = claims_[known->second].plain || plain;
            return known->second;
        }
        const uint32_t node =
            addNode(parent, name, std::move(key), true, plain, index, entry, late);
        directories_.emplace(std::move(lookup), node);
        return node;
    }

    uint32_t addNode(uint32_t parent, std::string_view name, std::string key, bool directory,
                     bool plain, uint32_t index, const Entry* entry, bool late) {
        const auto node = uint32_t(plan_.nodes.size());
        PlannedNode planned;
        planned.parent = parent;
        planned.depth = plan_.nodes[parent].depth + 1;
        planned.directory = directory;
        planned.wanted = std::string(name);
        planned.entry = entry;
        plan_.nodes.push_back(std::move(planned));
        Claim claim;
        claim.key = std::move(key);
        claim.first = index;
        claim.plain = plain;
        claim.late = late;
        claims_.push_back(std::move(claim));
        claims_[parent].children.push_back(node);
        return node;
    }

    // The nodes made for one entry (from `before` on) learn where it ends.
    void finishEntry(size_t before, uint32_t end) {
        for (size_t node = before; node < plan_.nodes.size(); ++node)
            plan_.nodes[node].entryNode = end;
    }

    void settleDirectory(const std::vector<uint32_t>& children) {
        std::vector<uint32_t> order(children);
        std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
            const Claim& x = claims_[a];
            const Claim& y = claims_[b];
            return std::tuple(x.late, !x.plain, x.first) < std::tuple(y.late, !y.plain, y.first);
        });
        std::unordered_map<std::string, uint32_t> holders;  // key -> the node that has it
        std::unordered_map<std::string, int> nextNumber;    // key -> the next "~N" to try
        std::vector<uint32_t> others;
        // Every wanted name is held first, so that no numbered name takes
        // one that an entry of the run wants as it stands.
        for (uint32_t node : order) {
            if (claims_[node].late)
                continue;
            if (holders.emplace(claims_[node].key, node).second)
                plan_.nodes[node].name = plan_.nodes[node].wanted;
            else
                others.push_back(node);
        }
        std::sort(others.begin(), others.end(),
                  [&](uint32_t a, uint32_t b) { return claims_[a].first < claims_[b].first; });
        for (uint32_t node : others) number(node, holders, nextNumber);
        for (uint32_t node : order) {
            if (!claims_[node].late)
                continue;
            if (holders.emplace(claims_[node].key, node).second)
                plan_.nodes[node].name = plan_.nodes[node].wanted;
            else
                number(node, holders, nextNumber);
        }
    }

    void number(uint32_t node, std::unordered_map<std::string, uint32_t>& holders,
                std::unordered_map<std::string, int>& nextNumber) {
        PlannedNode& planned = plan_.nodes[node];
        planned.holder = holders.at(claims_[node].key);
        // Numbers below the one remembered are taken already: a directory
        // full of names that all become one costs linear time.
        int& next = nextNumber.try_emplace(claims_[node].key, 2).first->second;
        for (;; ++next) {
            std::string candidate = numberedName(planned.wanted, next);
            if (holders.emplace(rules_.nameKey(candidate), node).second) {
                planned.name = std::move(candidate);
                ++next;
                break;
            }
        }
        plan_.numbered.push_back(node);
    }

    const Entry* base_;
    const OutputNameRules& rules_;
    OutputPlan& plan_;
    std::vector<Claim> claims_;                              // parallel to plan_.nodes
    std::unordered_map<std::string, uint32_t> directories_;  // "parent/key" -> directory node
    std::unordered_map<const Entry*, Place> places_;         // archive directories placed
};

}  // namespace

OutputPlan planOutput(const Entry* base, const std::vector<const Entry*>& entries,
                      const OutputNameRules& rules) {
    OutputPlan plan;
    plan.entryNodes.assign(entries.size(), 0);
    Planner planner(base, rules, &plan);
    // Files (and the directories they lead into) claim names before the
    // directories that stay empty, which then take what is left.
    for (size_t i = 0; i < entries.size(); ++i)
        if (!isDirectory(entries[i]))
            planner.addFile(entries[i], uint32_t(i));
    for (size_t i = 0; i < entries.size(); ++i)
        if (isDirectory(entries[i]))
            planner.addDirectory(entries[i], uint32_t(i));
    planner.settle();
    return plan;
}

std::vector<const Entry*> extractionEntries(const Entry* root) {
    std::vector<const Entry*> entries;
    TreeWalk walk(root, WALK_WITHOUT_PATHS);
    while (walk.next()) {
        const Entry* entry = walk.entry();
        if (walk.step() == WALK_LEAVE || entry == root)
            continue;
        // A file that a hostile archive gave children is taken as a file, as
        // the extraction's walk takes it; nothing below it is written.
        if (entry->kind == KIND_SUBDIR || entry->kind == KIND_FILE)
            entries.push_back(entry);
        if (walk.step() == WALK_ENTER && entry->kind != KIND_SUBDIR)
            walk.skipChildren();
    }
    return entries;
}

std::vector<std::string> planOutputPaths(const Entry* base,
                                         const std::vector<const Entry*>& entries,
                                         const OutputNameRules& rules) {
    const OutputPlan plan = planOutput(base, entries, rules);
    PlannedPaths paths(plan);
    std::vector<std::string> result;
    result.reserve(entries.size());
    for (uint32_t node : plan.entryNodes)
        result.push_back(node == NO_PLANNED_NODE ? std::string() : paths.of(node));
    return result;
}

const std::string& PlannedPaths::of(uint32_t node) {
    // Climb from `node` to the deepest node already on the path, then build
    // down from there.
    std::vector<uint32_t> missing;
    uint32_t at = node;
    while (at != 0) {
        const uint32_t depth = plan_.nodes[at].depth;
        if (depth <= chain_.size() && chain_[depth - 1] == at)
            break;
        missing.push_back(at);
        at = plan_.nodes[at].parent;
    }
    const size_t keep = plan_.nodes[at].depth;
    chain_.resize(keep);
    ends_.resize(keep);
    path_.resize(keep == 0 ? 0 : ends_.back());
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (!path_.empty())
            path_ += '/';
        path_ += plan_.nodes[*it].name;
        chain_.push_back(*it);
        ends_.push_back(path_.size());
    }
    return path_;
}

std::string wantedPath(const OutputPlan& plan, uint32_t node) {
    PlannedPaths paths(plan);
    std::string path = paths.of(plan.nodes[node].parent);
    if (!path.empty())
        path += '/';
    return path + plan.nodes[node].wanted;
}

std::string numberedName(std::string_view name, int number) {
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        dot = name.size();
    std::string result(name.substr(0, dot));
    result += '~';
    result += std::to_string(number);
    result += name.substr(dot);
    return result;
}
