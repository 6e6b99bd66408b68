#include "support/archive_fixture.h"

#include <gtest/gtest.h>

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
