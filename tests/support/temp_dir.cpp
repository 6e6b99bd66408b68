#include "support/temp_dir.h"

#include <stdlib.h>

#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

std::string defaultBase() {
    const char* base = std::getenv("TMPDIR");
    return base != nullptr && *base != '\0' ? base : "/tmp";
}

}  // namespace

TempDir::TempDir() : TempDir(defaultBase()) {}

TempDir::TempDir(const std::string& base) {
    std::string pattern = base + "/dirrip-test-XXXXXX";
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
    writeFile(target, std::string(bytes.begin(), bytes.end()));
    return target;
}

void writeFile(const std::string& path, const std::string& contents) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> readFileBytes(const std::string& path) {
    const std::string contents = readFile(path);
    return std::vector<uint8_t>(contents.begin(), contents.end());
}

ChangeDirectory::ChangeDirectory(const std::string& directory)
    : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(directory);
}

ChangeDirectory::~ChangeDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
}
