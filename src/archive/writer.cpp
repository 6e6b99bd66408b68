// The writer plans the whole layout (and checks every name and size) before
// it writes a byte, so a refusal never leaves a partial archive behind.
#include "archive/writer.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "archive/fold_index.h"
#include "archive/record.h"
#include "platform/archive_file.h"
#include "platform/host_files.h"
#include "platform/output_files.h"

namespace {

constexpr size_t COPY_BLOCK = 64 * 1024;

struct Plan {
    std::vector<const ArchiveNode*> listings;  // depth-first, root first
    std::vector<std::string> listingPaths;     // for messages
    std::vector<uint64_t> listingOffsets;
    // Per listing, per child: the record's size and offset fields.
    std::vector<std::vector<uint64_t>> sizes;
    std::vector<std::vector<uint64_t>> offsets;
    std::vector<const ArchiveNode*> files;  // in data order
    std::vector<uint64_t> fileSizes;
    std::vector<uint64_t> filePadding;  // zero bytes written before each file's data
    uint64_t total = 0;
};

bool fail(std::string* error, const std::string& message) {
    if (error != nullptr)
        *error = message;
    return false;
}

std::string joined(const std::string& directory, const std::string& name) {
    return directory.empty() ? name : directory + "/" + name;
}

// Appends every problem with the names of `directory`'s children to `problems`.
void checkNames(const ArchiveNode& directory, const std::string& path,
                const ArchiveWriteOptions& options, std::vector<std::string>* problems) {
    std::unordered_map<uint32_t, std::vector<const std::string*>> seen;
    for (const ArchiveNode& child : directory.children) {
        const std::string shown = joined(path, child.name);
        if (child.name.empty()) {
            problems->push_back("an entry in '" + path + "/' has an empty name");
            continue;
        }
        if (child.name.size() > DIR_NAME_SIZE)
            problems->push_back("name '" + shown + "' is longer than 32 bytes");
        if (child.name.find('\0') != std::string::npos)
            problems->push_back("name '" + shown + "' holds a NUL byte");
        if (options.allowCaseDuplicates)
            continue;
        auto& bucket = seen[FoldIndex::hashName(child.name)];
        bool twin = false;
        for (const std::string* other : bucket) {
            if (sameNameIgnoringCase(*other, child.name)) {
                problems->push_back("names '" + joined(path, *other) + "' and '" + shown +
                                    "' differ only in letter case");
                twin = true;
                break;
            }
        }
        if (!twin)
            bucket.push_back(&child.name);
    }
}

// The size of a file's data; false, with the problem appended, when it cannot
// be had or no record can hold it.
bool fileSize(const ArchiveNode& file, const std::string& shown, uint64_t* size,
              std::vector<std::string>* problems) {
    *size = file.data.size();
    if (!file.sourcePath.empty()) {
        HostFileInfo status;
        std::string why;
        if (!inspectHostPath(file.sourcePath, true, &status, &why)) {
            problems->push_back("cannot read '" + file.sourcePath + "': " + why);
            return false;
        }
        if (status.kind != HOST_FILE) {
            problems->push_back("'" + file.sourcePath + "' is not a regular file");
            return false;
        }
        *size = status.size;
    }
    if (*size > ARCHIVE_SIZE_LIMIT) {
        problems->push_back("file '" + shown + "' is larger than 4 GB");
        return false;
    }
    return true;
}

// Places the files' data after the listings that end at `position`, each
// large file on a page boundary when `aligned`. Returns the archive's size.
uint64_t placeFiles(Plan* out, uint64_t position, bool aligned) {
    size_t file = 0;
    for (size_t i = 0; i < out->listings.size(); ++i) {
        const std::vector<ArchiveNode>& children = out->listings[i]->children;
        for (size_t j = 0; j < children.size(); ++j) {
            if (children[j].kind != NODE_FILE)
                continue;
            const uint64_t size = out->fileSizes[file];
            uint64_t padding = 0;
            if (aligned && size >= ALIGN_FILES_FROM && position % FILE_ALIGNMENT != 0)
                padding = FILE_ALIGNMENT - position % FILE_ALIGNMENT;
            position += padding;
            out->filePadding[file] = padding;
            out->sizes[i][j] = size;
            out->offsets[i][j] = position;
            position += size;
            ++file;
        }
    }
    return position;
}

// Lays the archive out; false, with every problem found appended to
// `problems`, when it cannot be written.
bool plan(const ArchiveNode& root, const ArchiveWriteOptions& options, Plan* out,
          std::vector<std::string>* problems) {
    if (root.kind != NODE_DIRECTORY) {
        problems->push_back("the archive's root must be a directory");
        return false;
    }
    const size_t problemsBefore = problems->size();
    struct Pending {
        const ArchiveNode* directory;
        std::string path;
        size_t parentListing;  // where its record is, to fill in its offset
        size_t childIndex;
    };
    struct Link {
        size_t parentListing, childIndex, listing;
    };
    std::vector<Link> links;
    // Depth first without recursion: deep trees must not exhaust the stack.
    std::vector<Pending> pending{{&root, "", 0, 0}};
    while (!pending.empty()) {
        Pending next = std::move(pending.back());
        pending.pop_back();
        const ArchiveNode& directory = *next.directory;
        checkNames(directory, next.path, options, problems);
        const size_t listing = out->listings.size();
        if (listing != 0)
            links.push_back({next.parentListing, next.childIndex, listing});
        out->listings.push_back(&directory);
        out->listingPaths.push_back(next.path);
        out->sizes.emplace_back(directory.children.size(), 0);
        out->offsets.emplace_back(directory.children.size(), 0);
        for (size_t i = directory.children.size(); i-- > 0;) {
            const ArchiveNode& child = directory.children[i];
            if (child.kind == NODE_DIRECTORY) {
                pending.push_back({&child, joined(next.path, child.name), listing, i});
            }
        }
    }
    uint64_t position = 0;
    for (const ArchiveNode* listing : out->listings) {
        out->listingOffsets.push_back(position);
        position += (listing->children.size() + 1) * DIR_RECORD_SIZE;
    }
    for (const Link& link : links) {
        out->sizes[link.parentListing][link.childIndex] =
            out->listings[link.parentListing]->children[link.childIndex].directorySize;
        out->offsets[link.parentListing][link.childIndex] = out->listingOffsets[link.listing];
    }
    uint64_t data = 0;
    for (size_t i = 0; i < out->listings.size(); ++i) {
        const std::vector<ArchiveNode>& children = out->listings[i]->children;
        for (size_t j = 0; j < children.size(); ++j) {
            if (children[j].kind != NODE_FILE)
                continue;
            uint64_t size = 0;
            fileSize(children[j], joined(out->listingPaths[i], children[j].name), &size, problems);
            out->files.push_back(&children[j]);
            out->fileSizes.push_back(size);
            data += size;
        }
    }
    if (position + data > ARCHIVE_SIZE_LIMIT) {
        problems->push_back("the archive would be larger than 4 GB");
        return false;
    }
    if (problems->size() != problemsBefore)
        return false;
    out->filePadding.assign(out->files.size(), 0);
    out->total = placeFiles(out, position, true);
    // The padding only speeds up extraction: an archive that fits without it
    // is never refused for it.
    if (out->total > ARCHIVE_SIZE_LIMIT)
        out->total = placeFiles(out, position, false);
    return true;
}

// The problems as one message.
std::string allProblems(const std::vector<std::string>& problems) {
    std::string text;
    for (const std::string& problem : problems) text += (text.empty() ? "" : "; ") + problem;
    return text;
}

// Where the archive's bytes go: a byte vector, or a file through a buffer.
class Sink {
  public:
    explicit Sink(std::vector<uint8_t>* bytes) : bytes_(bytes) {}
    explicit Sink(OutputFile* file) : file_(file) { buffer_.reserve(COPY_BLOCK); }

    bool put(const void* data, size_t length, std::string* error) {
        const uint8_t* p = static_cast<const uint8_t*>(data);
        if (bytes_ != nullptr) {
            bytes_->insert(bytes_->end(), p, p + length);
            return true;
        }
        if (buffer_.size() + length > COPY_BLOCK && !flush(error))
            return false;
        if (length >= COPY_BLOCK)
            return writeAll(p, length, error);
        buffer_.insert(buffer_.end(), p, p + length);
        return true;
    }

    bool flush(std::string* error) {
        if (bytes_ != nullptr || buffer_.empty())
            return true;
        const bool done = writeAll(buffer_.data(), buffer_.size(), error);
        buffer_.clear();
        return done;
    }

  private:
    bool writeAll(const uint8_t* p, size_t length, std::string* error) {
        int code = 0;
        if (!writeOutputFile(file_, p, length, &code))
            return fail(error, "cannot write the archive: " + outputErrorText(code));
        return true;
    }

    std::vector<uint8_t>* bytes_ = nullptr;
    OutputFile* file_ = nullptr;
    std::vector<uint8_t> buffer_;
};

bool putRecord(Sink& sink, const std::string& name, uint32_t type, uint64_t size, uint64_t offset,
               std::string* error) {
    DirRecord record;
    std::memcpy(record.name, name.data(), std::min(name.size(), DIR_NAME_SIZE));
    record.type = type;
    record.size = static_cast<uint32_t>(size);
    record.offset = static_cast<uint32_t>(offset);
    unsigned char bytes[DIR_RECORD_SIZE];
    encodeDirRecord(record, bytes);
    return sink.put(bytes, sizeof bytes, error);
}

bool copyFromDisk(Sink& sink, const std::string& source, uint64_t size, std::string* error) {
    // Opened as archives are (read-only, refusing anything but a regular file).
    ArchiveFile file;
    std::string why;
    if (!file.open(source.c_str(), &why))
        return fail(error, "cannot read '" + source + "': " + why);
    std::vector<uint8_t> block(COPY_BLOCK);
    uint64_t done = 0;
    while (done < size) {
        const size_t wanted = static_cast<size_t>(std::min<uint64_t>(size - done, COPY_BLOCK));
        const int64_t n = file.readAt(done, block.data(), wanted);
        if (n < 0)
            return fail(error, "cannot read '" + source + "': a read error");
        if (n == 0)
            return fail(error, "'" + source + "' became shorter while it was being archived");
        if (!sink.put(block.data(), static_cast<size_t>(n), error))
            return false;
        done += static_cast<uint64_t>(n);
    }
    // The record already holds the size taken before writing began.
    if (file.readAt(size, block.data(), 1) > 0)
        return fail(error, "'" + source + "' grew while it was being archived");
    return true;
}

bool emit(const Plan& plan, Sink& sink, std::string* error) {
    for (size_t i = 0; i < plan.listings.size(); ++i) {
        const std::vector<ArchiveNode>& children = plan.listings[i]->children;
        for (size_t j = 0; j < children.size(); ++j) {
            const uint32_t type = children[j].kind == NODE_FILE ? TYPE_FILE : TYPE_DIRECTORY;
            if (!putRecord(sink, children[j].name, type, plan.sizes[i][j], plan.offsets[i][j],
                           error)) {
                return false;
            }
        }
        if (!putRecord(sink, "", TYPE_END, 0, 0, error))
            return false;
    }
    static const uint8_t zeros[FILE_ALIGNMENT] = {};
    for (size_t i = 0; i < plan.files.size(); ++i) {
        const ArchiveNode* file = plan.files[i];
        if (!sink.put(zeros, plan.filePadding[i], error))
            return false;
        const bool done = file->sourcePath.empty()
                              ? sink.put(file->data.data(), file->data.size(), error)
                              : copyFromDisk(sink, file->sourcePath, plan.fileSizes[i], error);
        if (!done)
            return false;
    }
    return sink.flush(error);
}

}  // namespace

ArchiveNode archiveFile(std::string name, std::string data) {
    ArchiveNode node;
    node.name = std::move(name);
    node.data = std::move(data);
    return node;
}

ArchiveNode archiveFileFromDisk(std::string name, std::string sourcePath) {
    ArchiveNode node;
    node.name = std::move(name);
    node.sourcePath = std::move(sourcePath);
    return node;
}

ArchiveNode archiveDirectory(std::string name, std::vector<ArchiveNode> children) {
    ArchiveNode node;
    node.kind = NODE_DIRECTORY;
    node.name = std::move(name);
    node.children = std::move(children);
    return node;
}

int checkArchiveTree(const ArchiveNode& root, std::vector<std::string>* problems, uint64_t* size,
                     const ArchiveWriteOptions& options) {
    Plan layout;
    if (!plan(root, options, &layout, problems))
        return 0;
    if (size != nullptr)
        *size = layout.total;
    return 1;
}

int writeArchiveBytes(const ArchiveNode& root, std::vector<uint8_t>* bytes, std::string* error,
                      const ArchiveWriteOptions& options) {
    bytes->clear();
    Plan layout;
    std::vector<std::string> problems;
    if (!plan(root, options, &layout, &problems))
        return fail(error, allProblems(problems));
    bytes->reserve(static_cast<size_t>(layout.total));
    Sink sink(bytes);
    if (!emit(layout, sink, error)) {
        bytes->clear();
        return 0;
    }
    return 1;
}

int writeArchiveFile(const ArchiveNode& root, const std::string& path, std::string* error,
                     const ArchiveWriteOptions& options) {
    Plan layout;
    std::vector<std::string> problems;
    if (!plan(root, options, &layout, &problems))
        return fail(error, allProblems(problems));

    // The temporary file is made beside the archive, in a directory held open,
    // so that an interrupt can remove it by name whatever the current
    // directory by then.
    size_t slash = path.size();
    while (slash > 0 && !isHostPathSeparator(path[slash - 1])) --slash;
    // A root ("/", "C:\") keeps its separator; other directories lose it.
    std::string directory = ".";
    if (slash == 1 || (slash > 1 && path[slash - 2] == ':'))
        directory = path.substr(0, slash);
    else if (slash > 1)
        directory = path.substr(0, slash - 1);
    const std::string leaf = path.substr(slash);
    int code = 0;
    const OutputDirectory target = openOutputDirectory(directory.c_str(), false, &code);
    if (target == NO_OUTPUT_DIRECTORY) {
        fail(error, "cannot create '" + path + "': " + outputErrorText(code));
        return 0;
    }
    OutputFile file;
    if (!createOutputFile(target, leaf.c_str(), &file, &code)) {
        fail(error, "cannot create '" + path + "': " + outputErrorText(code));
        closeOutputDirectory(target);
        return 0;
    }
    Sink sink(&file);
    // No flush to the device before the rename: other programs see the old
    // archive or the whole new one, never half of it, and forcing the data
    // to the device would cost more time than writing it.
    bool done = emit(layout, sink, error);
    if (done && !commitOutputFile(&file, leaf.c_str(), &code))
        done = fail(error, "cannot replace '" + path + "': " + outputErrorText(code));
    if (!done)
        discardOutputFile(&file);
    closeOutputDirectory(target);
    return done ? 1 : 0;
}
