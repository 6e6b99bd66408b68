// The rules for a name a change gives an entry.
#pragma once

#include <string>
#include <string_view>

// Checks a new entry name in code page 437: not empty, not "." or "..", no
// '/', '\' or NUL, at most 32 bytes. Returns 1, or 0 with one line saying
// why in `*why` (UTF-8).
int checkNewEntryName(std::string_view cp437, std::string* why);

// The UTF-8 form of a code page 437 name or path for messages, on one line.
std::string shownName(std::string_view cp437);
