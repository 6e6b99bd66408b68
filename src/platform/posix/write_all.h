// Writing a whole byte string to a descriptor (the terminal, an output file).
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <string_view>

// Writes all `size` bytes of `bytes` to `descriptor`, going on after short
// and interrupted writes (a resize signal may arrive at any time). Returns 1
// when all were written, 0 when the descriptor refused them (errno tells why;
// ENOSPC when a write took nothing). Safe in a signal handler.
inline int writeAll(int descriptor, const char* bytes, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = write(descriptor, bytes + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = ENOSPC;
        if (n <= 0)
            return 0;
        done += static_cast<size_t>(n);
    }
    return 1;
}

// Writes all of `bytes` to standard output (the terminal's sequences).
inline int writeAll(std::string_view bytes) {
    return writeAll(STDOUT_FILENO, bytes.data(), bytes.size());
}
