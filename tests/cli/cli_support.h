// Helpers for the command-line mode tests: running a mode in-process and
// reading a directory tree back (files are written with support/temp_dir.h).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "support/temp_dir.h"

struct ModeRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs `dirrip ARGS...` in-process through the command-line dispatcher.
ModeRun runDirrip(const std::vector<std::string>& args);

// Every file and directory below `root`: relative path ("/" after directories)
// to contents ("" for directories).
std::map<std::string, std::string> readTree(const std::string& root);
