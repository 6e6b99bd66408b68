// The archive file, opened once for reading. The loader reads its listings
// through it, and ripping, extraction and viewing read file data through the
// very same open file, so tree and data always come from one file even if the
// path is replaced while the program runs.
//
// One implementation per platform folder (posix/archive_file.cpp, ...).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/byte_store.h"

// Tells one file from every other on the system (device and inode on POSIX,
// volume serial number and file ID on Windows).
struct FileIdentity {
    uint64_t volume = 0;
    uint64_t file = 0;
    bool operator==(const FileIdentity&) const = default;
};

// A file's identity with its length and last modification when looked at:
// a file whose stamp differs from the one taken when it was loaded has been
// replaced or changed since.
struct FileStamp {
    FileIdentity identity;
    uint64_t size = 0;
    int64_t modifiedNanoseconds = 0;
    bool operator==(const FileStamp&) const = default;
};

class ArchiveFile : public ByteSource {
  public:
    ArchiveFile() = default;
    ~ArchiveFile() override;
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;

    // Opens `path` exactly as given (host encoding) for reading only, without
    // blocking and shared with other readers, and refuses anything but a
    // regular file (a FIFO, device or directory) before reading a byte.
    // Returns 1 when open, 0 when refused, with the cause in `why` (when not
    // null) as the system words it ("No such file or directory", "not a
    // regular file"). A file already open is closed first.
    int open(const char* path, std::string* why = nullptr);
    // Closes the file; safe when nothing is open.
    void close();
    bool isOpen() const { return handle_ != INVALID_HANDLE; }

    // The file's identity, length and modification time when it was opened.
    const FileStamp& stamp() const { return stamp_; }

    // The file's length in bytes when it was opened.
    uint64_t size() const override { return size_; }

    // Reads up to `count` bytes at `offset` into `buffer`, going on after
    // interrupted and short reads. Returns the bytes read (fewer than `count`
    // only at the end of the file; 0 at or past it), or -1 on a read error.
    int64_t readAt(uint64_t offset, void* buffer, size_t count) const override;

    // The platform's handle of the open file (a descriptor on POSIX), for the
    // platform's own in-kernel copies; INVALID_HANDLE when closed.
    intptr_t nativeHandle() const { return handle_; }

    static constexpr intptr_t INVALID_HANDLE = -1;

  private:
    intptr_t handle_ = INVALID_HANDLE;
    uint64_t size_ = 0;
    FileStamp stamp_;
};
