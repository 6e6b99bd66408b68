// The files a change to an archive writes: the archive itself, opened for
// reading and writing under an exclusive lock only while a change runs, and
// its journal beside it, which holds the bytes a change overwrites until the
// change is complete (and after, for undo).
//
// One implementation per platform folder (posix/edit_files.cpp, ...). Paths
// are host text, used exactly as given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/archive_file.h"
#include "platform/byte_store.h"

// How opening an archive for a change ended.
enum EditOpenStatus : int32_t {
    EDIT_OPEN_OK = 0,
    EDIT_OPEN_FAILED = 1,     // it could not be opened; the system's words say why
    EDIT_OPEN_READ_ONLY = 2,  // nobody may write it (permission bits, read-only attribute or media)
    EDIT_OPEN_BUSY = 3,       // another program is changing it (or has it in use)
    EDIT_OPEN_REPLACED = 4,   // another file now stands at the path than the one expected
};

// How long opening for a change waits for another program's lock before it
// says the archive is busy.
constexpr int EDIT_LOCK_WAIT_MILLISECONDS = 3000;

// The archive opened for a change: readable and writable through the
// ByteStore calls, locked against every other change until closed, while
// others may still read it.
class EditableArchive : public ByteStore {
  public:
    EditableArchive() = default;
    ~EditableArchive() override;
    EditableArchive(const EditableArchive&) = delete;
    EditableArchive& operator=(const EditableArchive&) = delete;

    // Opens the regular file `path` for reading and writing and takes its
    // exclusive lock, waiting up to `waitMilliseconds` for another holder to
    // let go. When `expected` is not null the file must be that one. Returns
    // EDIT_OPEN_OK when open and locked; otherwise nothing is open and `*why`
    // (when not null) holds one line saying why.
    EditOpenStatus open(const char* path, const FileIdentity* expected, int waitMilliseconds,
                        std::string* why);
    // Releases the lock and closes the file; safe when nothing is open.
    void close();
    bool isOpen() const { return handle_ != ArchiveFile::INVALID_HANDLE; }

    // The file's identity, length and modification time as they are now.
    FileStamp stamp() const;

    // ByteStore's calls, on the open file (they fail when nothing is open).
    uint64_t size() const override { return size_; }
    int64_t readAt(uint64_t offset, void* buffer, size_t count) const override;
    int writeAt(uint64_t offset, const void* bytes, size_t count, std::string* why) override;
    int setLength(uint64_t length, std::string* why) override;
    int sync(std::string* why) override;

  private:
    intptr_t handle_ = ArchiveFile::INVALID_HANDLE;
    uint64_t size_ = 0;
};

// How a journal file is opened.
enum JournalOpenMode : int32_t {
    JOURNAL_READ = 0,    // an existing journal, for reading only (writes fail)
    JOURNAL_UPDATE = 1,  // an existing journal, for reading and writing
    JOURNAL_CREATE = 2,  // for reading and writing, created empty when missing
};

// A journal file seen through the ByteStore calls. A journal just created
// also makes its directory entry durable with its first sync, so that a
// crash cannot lose the file once a sync said its bytes were safe.
class JournalFile : public ByteStore {
  public:
    JournalFile() = default;
    ~JournalFile() override;
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    // Opens the journal at `path` as `mode` says. Returns 1 when open; 0 when
    // it cannot be, with `*missing` (when not null) set when there is simply
    // no such file, and the system's words in `*why` (when not null).
    int open(const char* path, JournalOpenMode mode, bool* missing, std::string* why);
    // Closes the file; safe when nothing is open.
    void close();
    bool isOpen() const { return handle_ != ArchiveFile::INVALID_HANDLE; }

    // ByteStore's calls, on the open file (writes fail when opened for reading).
    uint64_t size() const override { return size_; }
    int64_t readAt(uint64_t offset, void* buffer, size_t count) const override;
    int writeAt(uint64_t offset, const void* bytes, size_t count, std::string* why) override;
    int setLength(uint64_t length, std::string* why) override;
    int sync(std::string* why) override;

  private:
    intptr_t handle_ = ArchiveFile::INVALID_HANDLE;
    uint64_t size_ = 0;
    std::string directory_;  // set while the new file's directory entry is still to be synced
};

// The path of the journal that belongs to the archive at `archivePath`: the
// archive's own path (symbolic links followed, where there are any) with
// "-journal" appended.
std::string journalPathFor(const std::string& archivePath);

// Removes the journal file at `path` and makes the removal durable. Returns 1
// when it is gone (or was not there), 0 with the system's words in `*why`.
int removeJournalFile(const std::string& path, std::string* why);

// For the tests that stop a change part way: when the environment variable
// DIRRIP_TEST_STOP_AFTER_WRITES holds a number N, the process kills itself
// (as SIGKILL would) instead of making the (N+1)th write, length change or
// sync of an archive or a journal.
constexpr const char* EDIT_STOP_VARIABLE = "DIRRIP_TEST_STOP_AFTER_WRITES";
