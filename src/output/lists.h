// The ".lst" list of the whole archive and the ".sel" list of a directory's selection.
//
// Lists are code page 437 text with CR LF line ends, written into the current
// directory under the archive's base name. A list that cannot be written is
// dropped without a message.
#pragma once

#include <string>

class Entry;

// Writes BASE.lst in the current directory for the tree under `root`.
void makeFullList(const char* archivePath, const Entry* root);
// Writes BASE.sel for the selected children of `directory`.
void makeSelectedList(const char* archivePath, const Entry* directory);
// Appends one entry (and, for a directory, everything below it) in list layout to `out`.
void writeEntry(std::string& out, const Entry* entry);

// The list file name for `archivePath`: its base name (after any drive, the
// last '\' or '/', up to the last '.') followed by `extension` (".lst", ".sel").
std::string listFileName(const char* archivePath, const char* extension);
// The whole text of the full list for the tree under `root`, as makeFullList writes it.
std::string fullListText(const char* archivePath, const Entry* root);
// The whole text of the selected list of `directory`, as makeSelectedList writes it.
std::string selectedListText(const char* archivePath, const Entry* directory);
