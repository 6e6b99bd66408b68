// A temporary directory for one test and the small file helpers that go with it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A fresh directory under $TMPDIR (or /tmp), removed with all its contents
// (read-only ones included) when the object goes.
class TempDir {
  public:
    TempDir();
    // A fresh directory under `base` instead (such as a memory file system,
    // where syncing costs nothing).
    explicit TempDir(const std::string& base);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // The path of `name` inside the directory.
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Writes `bytes` to `name` inside the directory and returns its path.
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const;

  private:
    std::string path_;
};

// Writes `contents` to `path`, creating missing parent directories.
void writeFile(const std::string& path, const std::string& contents);

// The whole contents of a file (empty when it cannot be read).
std::string readFile(const std::string& path);
std::vector<uint8_t> readFileBytes(const std::string& path);

// Makes `directory` the current one for the scope, then goes back.
class ChangeDirectory {
  public:
    explicit ChangeDirectory(const std::string& directory);
    ~ChangeDirectory();
    ChangeDirectory(const ChangeDirectory&) = delete;
    ChangeDirectory& operator=(const ChangeDirectory&) = delete;

  private:
    std::filesystem::path previous_;
};
