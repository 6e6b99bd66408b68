// Full paths of the things inside an open output directory (Windows only).
#pragma once

#include <string>

#include "platform/output_files.h"

// The full "\\?\" path of the open directory `directory`; empty for
// NO_OUTPUT_DIRECTORY.
std::wstring outputDirectoryPath(OutputDirectory directory);

// The full path of `name` (UTF-8) in `directory`, the name made one Windows
// takes as an ordinary file (windowsSafeComponent); empty for NO_OUTPUT_DIRECTORY.
std::wstring outputChildPath(OutputDirectory directory, const char* name);
