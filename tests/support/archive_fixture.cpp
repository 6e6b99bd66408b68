#include "support/archive_fixture.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include <iterator>


TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/dirrip-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Tests may leave read-only files and directories behind.
    for (auto& item : std::filesystem::recursive_directory_iterator(path_, ignored)) {
        std::filesystem::permissions(item.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    const std::string target = file(name);
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return target;
}

std::string writeArchive(const TempDir& dir, const ArchiveNode& tree, const std::string& name) {
    ArchiveWriteOptions options;
    options.allowCaseDuplicates = true;
    std::string error;
    const std::string path = dir.file(name);
    if (writeArchiveFile(tree, path, &error, options) == 0) {
        ADD_FAILURE() << "cannot write " << path << ": " << error;
    }
    return path;
}

std::vector<uint8_t> archiveBytes(const ArchiveNode& tree) {
    ArchiveWriteOptions options;
    options.allowCaseDuplicates = true;
    std::string error;
    std::vector<uint8_t> bytes;
    if (writeArchiveBytes(tree, &bytes, &error, options) == 0) {
        ADD_FAILURE() << "cannot lay out the archive: " << error;
    }
    return bytes;
}

std::vector<uint8_t> readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

void appendRecord(std::vector<uint8_t>& bytes, const std::string& name, uint32_t type,
                  uint32_t size, uint32_t offset) {
    DirRecord record;
    for (size_t i = 0; i < name.size() && i < DIR_NAME_SIZE; ++i) record.name[i] = name[i];
    record.type = type;
    record.size = size;
    record.offset = offset;
    const size_t at = bytes.size();
    bytes.resize(at + DIR_RECORD_SIZE);
    encodeDirRecord(record, bytes.data() + at);
}

void appendEnd(std::vector<uint8_t>& bytes) {
    appendRecord(bytes, "", TYPE_END);
}

LoadedArchive::LoadedArchive(const std::string& path, uint32_t cap, LoadObserver* observer) {
    session.open(path.c_str(), path, cap == 0 ? LOAD_ENTRY_CAP : cap, observer);
    result = session.status() == SESSION_OPEN_FAILED ? 0 : 1;
    capped = session.status() == SESSION_TOO_LARGE;
}

Entry* LoadedArchive::child(const Entry* directory, const std::string& name) {
    for (Entry* entry : directory->children) {
        if (entry->name == name)
            return entry;
    }
    return nullptr;
}

std::vector<std::string> LoadedArchive::names(const Entry* directory) {
    std::vector<std::string> result;
    for (const Entry* entry : directory->children) result.push_back(entry->name);
    return result;
}
