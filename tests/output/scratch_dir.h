// Helpers of the output tests: a temporary directory for one test (removed
// with everything in it afterwards), the current directory for a scope, and
// file contents.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/archive_fixture.h"

namespace output_test {

// The shared temporary directory, with `dir / "name"` for the paths inside it.
class ScratchDir : public TempDir {
  public:
    std::string operator/(const std::string& name) const { return file(name); }
};

// Makes `directory` the current one for the scope, then goes back.
class ChangeDirectory {
  public:
    explicit ChangeDirectory(const std::string& directory)
        : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(directory);
    }
    ~ChangeDirectory() { std::filesystem::current_path(previous_); }

  private:
    std::filesystem::path previous_;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

// `size` bytes of a recognisable pattern, different for each `seed`.
inline std::string patternBytes(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = char((i * 31 + seed * 7 + i / 251) & 0xFF);
    return bytes;
}

}  // namespace output_test
