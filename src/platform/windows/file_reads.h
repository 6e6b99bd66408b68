// What the archive opened for reading and the files a change opens share:
// positioned reads that go on to the end, and a file's stamp from what the
// system says of its handle.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "platform/archive_file.h"

// The OVERLAPPED record that carries `position` to ReadFile and WriteFile,
// which a handle opened for plain reads and writes takes as a position.
inline OVERLAPPED overlappedAt(uint64_t position) {
    OVERLAPPED at = {};
    at.Offset = DWORD(position);
    at.OffsetHigh = DWORD(position >> 32);
    return at;
}

// Reads up to `count` bytes at `offset` of `file` into `buffer`, going on
// after short reads. Returns the bytes read (fewer than `count` only at the
// end of the file), or -1 on a read error.
inline int64_t readFullyAt(HANDLE file, uint64_t offset, void* buffer, size_t count) {
    auto* bytes = static_cast<unsigned char*>(buffer);
    size_t got = 0;
    while (got < count) {
        // ReadFile takes 32-bit counts.
        const DWORD want = count - got < (1u << 30) ? DWORD(count - got) : (1u << 30);
        OVERLAPPED at = overlappedAt(offset + got);
        DWORD read = 0;
        if (!ReadFile(file, bytes + got, want, &read, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF)
                break;
            return -1;
        }
        if (read == 0)
            break;
        got += read;
    }
    return int64_t(got);
}

// The identity, length and modification time (100-nanosecond ticks since
// 1601, in nanoseconds) that `information` describes.
inline FileStamp stampOf(const BY_HANDLE_FILE_INFORMATION& information) {
    FileStamp stamp;
    stamp.identity = {information.dwVolumeSerialNumber,
                      (uint64_t(information.nFileIndexHigh) << 32) | information.nFileIndexLow};
    stamp.size = (uint64_t(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    stamp.modifiedNanoseconds =
        int64_t((uint64_t(information.ftLastWriteTime.dwHighDateTime) << 32) |
                information.ftLastWriteTime.dwLowDateTime) *
        100;
    return stamp;
}
