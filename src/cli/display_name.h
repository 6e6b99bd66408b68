// How archive names are shown by the command-line modes.
#pragma once

#include <string>
#include <string_view>

class Entry;

// A code page 437 name for a terminal or a text listing: bytes above 0x7F as
// their UTF-8 glyphs, control bytes (below 0x20 and 0x7F) as \xNN, so that no
// archive can send escape sequences to the terminal.
std::string displayName(std::string_view cp437Name);

// A path given by the user (UTF-8), with control bytes and invalid UTF-8 as \xNN.
std::string displayPath(std::string_view path);

// The archive path of `entry` as messages show it (displayName); "/" for the root.
std::string displayEntryPath(const Entry* entry);
