// The ".lst" list of the whole archive and the ".sel" list of a directory's selection.
//
// Lists are code page 437 text with CR LF line ends. They are written through
// an output callback, or saved into the current directory under the archive's
// base name by way of a temporary file, so that a list that cannot be written
// never leaves a half-written file under the final name.
#pragma once

#include <functional>
#include <string>
#include <string_view>

class Entry;

// Takes the next piece of a list; returns false when it could not be written.
using ListOutput = std::function<bool(std::string_view piece)>;

// Writes the full list of the tree under `root` through `output`, in large
// pieces; `archivePath` is host text (UTF-8), written on the "Source:" line in
// code page 437 like the names, '?' for a character the code page lacks.
// Returns 1 when every piece was taken, 0 after the first refused one.
int writeFullList(const ListOutput& output, const char* archivePath, const Entry* root);
// Writes the selected list of `directory` through `output`; 1 or 0 as writeFullList.
int writeSelectedList(const ListOutput& output, const char* archivePath, const Entry* directory);

// Saves the full list as BASE.lst in the current directory, replacing an
// earlier one. Returns 1 when it is in place; 0 with the cause in `*error`
// (platform/output_files.h; when not null), nothing then left behind.
int makeFullList(const char* archivePath, const Entry* root, int* error = nullptr);
// Saves the selected list of `directory` as BASE.sel; 1 or 0 as makeFullList.
int makeSelectedList(const char* archivePath, const Entry* directory, int* error = nullptr);

// Appends one entry (and, for a directory, everything below it) in list layout to `out`.
void writeEntry(std::string& out, const Entry* entry);

// The list file name for `archivePath`: its base name (after any drive, the
// last '\' or '/', up to the last '.') followed by `extension` (".lst", ".sel").
std::string listFileName(const char* archivePath, const char* extension);
// The whole text of the full list for the tree under `root`.
std::string fullListText(const char* archivePath, const Entry* root);
// The whole text of the selected list of `directory`.
std::string selectedListText(const char* archivePath, const Entry* directory);
