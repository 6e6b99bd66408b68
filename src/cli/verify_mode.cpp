#include "cli/verify_mode.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <map>
#include <ostream>
#include <set>
#include <unordered_map>

#include "archive/entry.h"
#include "archive/record.h"
#include "cli/display_name.h"
#include "text/cp437.h"
#include "output/output_name.h"
#include "text/ascii_fold.h"

namespace {

std::string hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%08" PRIx64, value);
    return text;
}

// What extraction would write for a name that needed no change at all.
std::string plainOutputPath(const std::string& name) {
    std::string path = cp437TextToUtf8(name);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

struct Listing {
    uint64_t start;
    uint64_t end = 0;  // just past its end record, or where it was cut short
    std::string path;  // of the first directory that leads to it
};

struct FileData {
    uint64_t start;
    uint64_t end;
    std::string path;
};

// One listing being read: where the next record is, and the names it has given
// its directory so far (folded), shared with a dropped duplicate's listing.
struct Frame {
    size_t listing;
    uint64_t position;
    std::string path;
    std::unordered_map<std::string, std::string>* names;
};

class Verifier {
  public:
    Verifier(const uint8_t* bytes, uint64_t size) : bytes_(bytes), size_(size) {
        report_.archiveSize = size;
    }

    VerifyReport run() {
        std::vector<Frame> stack;
        openListing(stack, 0, "", &namesByDirectory_[""]);
        while (!stack.empty()) {
            Frame& frame = stack.back();
            if (frame.position + DIR_RECORD_SIZE > size_) {
                Listing& listing = listings_[frame.listing];
                if (frame.position == listing.start && listing.start >= size_)
                    find(frame.path, "its listing at " + hex(listing.start) +
                                         " lies past the end of the archive");
                else if (frame.position < size_ || frame.position != listing.start)
                    find(frame.path,
                         "its listing is cut short at " + hex(frame.position) + " (no end record)");
                listing.end = std::min(frame.position, size_);
                inProgress_.erase(listing.start);
                stack.pop_back();
                continue;
            }
            DirRecord record = decodeDirRecord(bytes_ + frame.position);
            frame.position += DIR_RECORD_SIZE;
            if (record.type != TYPE_FILE && record.type != TYPE_DIRECTORY) {
                listings_[frame.listing].end = frame.position;
                inProgress_.erase(listings_[frame.listing].start);
                stack.pop_back();
                continue;
            }
            visitRecord(stack, record);
        }
        checkOverlaps();
        report_.listings = listings_.size();
        return std::move(report_);
    }

  private:
    void find(const std::string& path, const std::string& text) {
        report_.findings.push_back({path.empty() ? "/" : path, text});
    }

    void openListing(std::vector<Frame>& stack, uint64_t start, const std::string& path,
                     std::unordered_map<std::string, std::string>* names) {
        listingAt_[start] = listings_.size();
        listings_.push_back({start, start, path});
        inProgress_.insert(start);
        stack.push_back({listings_.size() - 1, start, path, names});
    }

    void visitRecord(std::vector<Frame>& stack, const DirRecord& record) {
        std::string name = recordEntryName(record);
        std::string directoryPath = stack.back().path;
        std::string path = directoryPath.empty() ? name : directoryPath + "/" + name;
        std::replace(path.begin(), path.end(), '\\', '/');
        bool isDirectory = record.type == TYPE_DIRECTORY;
        isDirectory ? ++report_.directories : ++report_.files;

        if (name.empty())
            find(path, "has an empty name");
        std::string folded = foldAsciiText(name);
        auto [existing, added] = stack.back().names->emplace(folded, path);
        if (!added)
            find(path, "is dropped: the same name as '" + displayName(existing->second) +
                           "' ignoring letter case");
        if (!name.empty() && outputPathFor(name) != plainOutputPath(name))
            find(path, "would be extracted as '" + displayPath(outputPathFor(name)) + "'");

        if (!isDirectory) {
            uint64_t end = uint64_t(record.offset) + record.size;
            if (end > size_)
                find(path, "its data (" + std::to_string(record.size) + " bytes at " +
                               hex(record.offset) + ") runs past the end of the archive");
            else if (record.size > 0)
                files_.push_back({record.offset, end, path});
            return;
        }

        // A dropped directory's listing adds to the directory already there.
        std::string target = added ? path : existing->second;
        auto* names = &namesByDirectory_[target];
        if (inProgress_.count(record.offset)) {
            find(path, "leads back into the listing at " + hex(record.offset) +
                           ", which encloses it (a cycle)");
            return;
        }
        auto seen = listingAt_.find(record.offset);
        if (seen != listingAt_.end()) {
            find(path, "shares its listing at " + hex(record.offset) + " with '" +
                           displayName(listings_[seen->second].path) + "'");
            return;
        }
        openListing(stack, record.offset, target, names);
    }

    // File data that lies over a listing's records.
    void checkOverlaps() {
        std::vector<const Listing*> sorted;
        for (const Listing& listing : listings_) {
            if (listing.end > listing.start)
                sorted.push_back(&listing);
        }
        std::sort(sorted.begin(), sorted.end(),
                  [](const Listing* a, const Listing* b) { return a->start < b->start; });
        for (const FileData& file : files_) {
            // The first listing that ends after the file starts is the only candidate
            // among non-overlapping listings; check the ones starting before the file ends.
            auto it = std::lower_bound(
                sorted.begin(), sorted.end(), file.start,
                [](const Listing* listing, uint64_t start) { return listing->start < start; });
            if (it != sorted.begin() && (*(it - 1))->end > file.start)
                --it;
            if (it != sorted.end() && (*it)->start < file.end && (*it)->end > file.start) {
                find(file.path, "its data overlaps the listing at " + hex((*it)->start) + " of '" +
                                    ((*it)->path.empty() ? "/" : displayName((*it)->path)) + "'");
            }
        }
    }

    const uint8_t* bytes_;
    uint64_t size_;
    VerifyReport report_;
    std::vector<Listing> listings_;
    std::map<uint64_t, size_t> listingAt_;
    std::set<uint64_t> inProgress_;
    std::vector<FileData> files_;
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> namesByDirectory_;
};

}  // namespace

VerifyReport verifyArchiveBytes(const uint8_t* bytes, uint64_t size) {
    return Verifier(bytes, size).run();
}

int verifyMode(const std::string& path, std::ostream& out, std::ostream& err) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0)
            close(fd);
        err << "dirrip: cannot open '" << displayPath(path) << "'\n";
        return 1;
    }
    uint64_t size = uint64_t(info.st_size);
    const uint8_t* bytes = nullptr;
    void* mapped = MAP_FAILED;
    if (size > 0) {
        mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (mapped == MAP_FAILED) {
            close(fd);
            err << "dirrip: cannot read '" << displayPath(path) << "'\n";
            return 1;
        }
        bytes = static_cast<const uint8_t*>(mapped);
    }
    VerifyReport report = verifyArchiveBytes(bytes, size);
    if (mapped != MAP_FAILED)
        munmap(mapped, size);
    close(fd);

    for (const VerifyFinding& finding : report.findings)
        out << displayName(finding.path) << ": " << finding.text << "\n";
    if (report.files + report.directories == 0)
        out << displayPath(path) << ": no entries (not a DIR archive)\n";
    out << report.findings.size() << " findings in " << report.files << " files, "
        << report.directories << " directories, " << report.listings << " listings ("
        << report.archiveSize << " bytes)\n";
    return report.findings.empty() && report.files + report.directories > 0 ? 0 : 1;
}
