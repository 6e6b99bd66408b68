// Output names: how an entry's stored name becomes a relative path on disk.
//
// Ripping and the command-line extractor both go through these, so the two
// always agree on where an entry lands.
#pragma once

#include <string>
#include <string_view>

// What becomes of a stored name's leading drive root ("C:\"), "\\?\" or
// "\\.\" prefix (with a following "UNC\"): dropped like a leading separator
// where such a prefix would lead out of the base directory (Windows), or
// sanitized like any other characters elsewhere ("C:\X" then lands in "C_").
enum RootPrefixes { ROOT_PREFIXES_SANITIZED = 0, ROOT_PREFIXES_DROPPED = 1 };

// The rule for the platform the program runs on.
RootPrefixes platformRootPrefixes();

// The on-disk path, relative to the output base directory, for an entry stored
// as `storedName`: a root prefix treated as `prefixes` says, sanitizeFilename applied, '\' taken as
// the directory separator and written as '/', empty components (leading or
// doubled separators) dropped, every ".." component turned into "__" and every
// "." into "_", and each component converted from code page 437 to UTF-8.
// Pure; empty when nothing of the name is left.
std::string outputPathFor(std::string_view storedName,
                          RootPrefixes prefixes = platformRootPrefixes());

// How the platform names output files: what becomes of root prefixes, the
// name the file system gets for each component, and the key under which it
// takes two names to be one file (platform/output_files.h).
struct OutputNameRules {
    RootPrefixes prefixes;
    std::string (*componentName)(std::string_view component);
    std::string (*nameKey)(std::string_view name);
};

// The rules of the platform the program runs on.
OutputNameRules platformOutputNameRules();

// The path an entry stored as `storedName` is written under before any
// clash with another entry of the run is settled: outputPathFor, with each
// component then renamed by `rules.componentName` (on Windows: devices,
// trailing dots and spaces). Pure; empty when nothing of the name is left.
std::string writtenPathFor(std::string_view storedName,
                           const OutputNameRules& rules = platformOutputNameRules());

// The path an entry stored as `storedName` would have if nothing of its name
// had to change: code page 437 as UTF-8 (control bytes as themselves), '\'
// as '/'. A name whose writtenPathFor equals this needed no change.
std::string plainOutputPath(std::string_view storedName);

// The directory part of an output path (everything before its last '/'), or
// empty when the path names a file of the base directory itself.
std::string_view outputDirectoryOf(std::string_view outputPath);

// The last component of an output path (everything after its last '/').
std::string_view outputLeafOf(std::string_view outputPath);
