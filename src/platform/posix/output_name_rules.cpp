#include "platform/output_files.h"

// POSIX file systems take a name's bytes as they are: every component the
// output names keep is already one the system stores unchanged, and two names
// are one file only when their bytes are equal.

std::string outputComponentName(std::string_view component) {
    return std::string(component);
}

std::string outputNameKey(std::string_view name) {
    return std::string(name);
}
