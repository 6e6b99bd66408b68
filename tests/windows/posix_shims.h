// The one POSIX call the shared test helpers make that the Windows C runtime
// lacks, forced into tests/support/temp_dir.cpp when it is built for Windows.
#pragma once

#include <direct.h>
#include <io.h>

#include <cerrno>
#include <cstring>

// Replaces the trailing "XXXXXX" of `pattern` to name a new directory and
// creates it; returns `pattern`, or null when no such directory could be made.
inline char* mkdtemp(char* pattern) {
    const size_t length = std::strlen(pattern);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::memcpy(pattern + length - 6, "XXXXXX", 6);
        if (_mktemp_s(pattern, length + 1) != 0)
            return nullptr;
        if (_mkdir(pattern) == 0)
            return pattern;
        if (errno != EEXIST)
            return nullptr;
    }
    return nullptr;
}
