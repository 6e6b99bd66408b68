// One run's output paths (one F2 press, one --extract), planned whole before
// anything is written, so that no two entries of the run share an output
// file and where names meet, the name that needed no change keeps it.
//
// Pure: the plan reads the entries' names and touches no disk, so a mode that
// maps files on disk back to entries (the same naming, collisions included)
// can call planOutputPaths and look the paths up.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "output/output_name.h"

class Entry;

constexpr uint32_t NO_PLANNED_NODE = UINT32_MAX;

// A directory or file of the planned output tree. Archive directories whose
// names the file system takes as one (OutputNameRules::nameKey) become one
// node; every file is a node of its own.
struct PlannedNode {
    uint32_t parent = 0;  // the directory node holding it (the base is node 0)
    uint32_t depth = 0;   // levels below the base (0 for the base)
    bool directory = true;
    std::string wanted;            // the name it asked for (a component of writtenPathFor)
    std::string name;              // the name it is written under: `wanted`, or numbered
    const Entry* entry = nullptr;  // the first entry of the run that led to it
    uint32_t entryNode = 0;        // the node that entry itself is written as
    uint32_t holder = 0;           // when numbered: the node that got `wanted` (else 0)
};

struct OutputPlan {
    std::vector<PlannedNode> nodes;  // [0] is the output base itself
    // Per entry of the run, in its order: the node it is written as;
    // NO_PLANNED_NODE for a file of whose name nothing is left (it cannot be
    // written); for a directory of whose name nothing is left, its parent's
    // node (its contents go where it stands).
    std::vector<uint32_t> entryNodes;
    // The nodes that got a numbered name, ordered by the first entry leading to each.
    std::vector<uint32_t> numbered;
};

// Plans the output of one run. `entries` are the run's entries in the order
// the run takes them: files, and directories the run makes even when no file
// goes into them; each lies below `base`, the archive directory whose contents
// land in the output base (the root for --extract, the shown directory for
// F2). An entry's wanted path is writtenPathFor of each directory from below
// `base` down to it, then of its own name. Where names meet in one directory,
// files and the directories that files lead into come first: among them a
// claim whose whole path needed no change (plainOutputPath) keeps the name,
// else the one first in run order; each other one gets the first
// numberedName ("~2", "~3", ...) that no entry of the run wants there.
// Directories that no file leads into take what is left after that, so a
// file's path does not depend on whether empty directories are in `entries`.
OutputPlan planOutput(const Entry* base, const std::vector<const Entry*>& entries,
                      const OutputNameRules& rules = platformOutputNameRules());

// The entries a plain --extract (no patterns) takes below `root`, in its
// order: every directory and file as the tree walk visits them.
std::vector<const Entry*> extractionEntries(const Entry* root);

// Each entry's output path relative to the output base ('/'-separated UTF-8),
// exactly as a run of `entries` writes it (planOutput). For a plain
// --extract pass extractionEntries(root), or only its files: their paths are
// the same. Empty for a file of whose name nothing is left (it is not
// written) and for a directory whose contents go to the base itself.
std::vector<std::string> planOutputPaths(const Entry* base,
                                         const std::vector<const Entry*>& entries,
                                         const OutputNameRules& rules = platformOutputNameRules());

// The planned paths of nodes one after another, each built on the directory
// part of the one before, so that a walk in tree order costs linear time
// however deep the tree.
class PlannedPaths {
  public:
    explicit PlannedPaths(const OutputPlan& plan) : plan_(plan) {}
    // The path `node` is written under, relative to the output base (empty
    // for the base); valid until the next call.
    const std::string& of(uint32_t node);

  private:
    const OutputPlan& plan_;
    std::vector<uint32_t> chain_;  // the nodes along path_, from below the base down
    std::vector<size_t> ends_;     // the length of path_ up to each of them
    std::string path_;
};

// The path `node` asked for: its directory's planned path and its wanted name.
std::string wantedPath(const OutputPlan& plan, uint32_t node);

// `name` with "~N" put before its extension (the part from its last '.', when
// that is not its first character): "A_B" -> "A_B~2", "README.TXT" -> "README~2.TXT".
std::string numberedName(std::string_view name, int number);
