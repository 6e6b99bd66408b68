#include "cli/cat_mode.h"

#include <algorithm>
#include <cerrno>
#include <ostream>
#include <system_error>
#include <vector>

#include "archive/search.h"
#include "cli/display_name.h"
#include "cli/open_archive.h"
#include "text/cause.h"
#include "text/counted.h"
#include "text/cp437.h"

namespace {

constexpr size_t CAT_BLOCK_SIZE = 65536;

// The C library's words for why a write to the output failed ("no space left
// on device" for a full disk), after ": "; empty when it left no cause.
std::string writeCause(int error) {
    if (error == 0)
        return "";
    return ": " + asCause(std::generic_category().message(error));
}

}  // namespace

int catMode(const std::string& archivePath, const std::string& entryPath, std::ostream& out,
            std::ostream& err) {
    ArchiveSession session;
    if (!openArchiveForCommandLine(session, archivePath, err))
        return 1;
    const std::string shown = displayPath(entryPath);
    std::string cp437;
    // A name the archive's code page cannot hold names no entry.
    const Entry* entry =
        utf8ToCp437(entryPath, &cp437) ? findByPath(session.root(), cp437) : nullptr;
    if (entry == nullptr) {
        err << "dirrip: no file '" << shown << "' in '" << displayPath(archivePath) << "'\n";
        return 1;
    }
    if (entry->kind != KIND_FILE) {
        err << "dirrip: '" << shown << "' is a directory, not a file\n";
        return 1;
    }
    const ArchiveFile& file = session.file();
    const uint64_t offset = entry->info != nullptr ? entry->info->offset : 0;
    const uint64_t size = entry->size;
    // Checked before the first byte goes out, so that a pipe never gets a
    // silently shortened file.
    if (offset + size > file.size()) {
        const uint64_t there = offset >= file.size() ? 0 : file.size() - offset;
        err << "dirrip: the data of '" << shown << "' lies past the end of the archive (" << there
            << " of " << counted(size, "byte", "bytes") << " there)\n";
        return 1;
    }
    std::vector<char> buffer(CAT_BLOCK_SIZE);
    uint64_t done = 0;
    while (done < size) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(CAT_BLOCK_SIZE, size - done));
        const int64_t got = file.readAt(offset + done, buffer.data(), want);
        if (got != static_cast<int64_t>(want)) {
            out.flush();
            err << "dirrip: cannot read '" << shown << "' from the archive\n";
            return 1;
        }
        // errno is read right after the write it belongs to: the stream itself
        // keeps only that it failed.
        errno = 0;
        out.write(buffer.data(), static_cast<std::streamsize>(want));
        if (!out) {
            err << "dirrip: cannot write '" << shown << "' to the output" << writeCause(errno)
                << "\n";
            return 1;
        }
        done += want;
    }
    errno = 0;
    out.flush();
    if (!out) {
        err << "dirrip: cannot write '" << shown << "' to the output" << writeCause(errno) << "\n";
        return 1;
    }
    return 0;
}
