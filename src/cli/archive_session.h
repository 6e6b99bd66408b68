// An archive loaded for one command-line run: the root, its tree and the
// reason a load could not be used.
#pragma once

#include <string>

#include "archive/entry.h"

class ArchiveSession {
  public:
    // Loads the archive at `path` (opened exactly as given, read-only).
    explicit ArchiveSession(const std::string& path);
    ~ArchiveSession();
    ArchiveSession(const ArchiveSession&) = delete;
    ArchiveSession& operator=(const ArchiveSession&) = delete;

    // True when the archive loaded and its root holds at least one entry.
    bool ok() const { return error_.empty(); }
    // Why the archive cannot be used, as one line naming the path; empty when ok().
    const std::string& error() const { return error_; }
    Entry* root() { return &root_; }

  private:
    Entry root_;
    std::string error_;
};
