// Numbers in messages: counts with their noun, offsets into an archive.
#pragma once

#include <cstdint>
#include <string>

// `count` followed by the noun in the number it takes: "1 file", "0 files",
// "2 files".
std::string counted(uint64_t count, const char* singular, const char* plural);

// `value` as an offset into the archive: "0x" and at least eight hex digits.
std::string hexOffset(uint64_t value);
