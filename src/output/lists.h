// The ".lst" list of the whole archive and the ".sel" list of a directory's selection.
#pragma once

#include <string>

class Entry;

// Writes BASE.lst in the current directory for the tree under `root`.
void makeFullList(const char* archivePath, const Entry* root);
// Writes BASE.sel for the selected children of `directory`.
void makeSelectedList(const char* archivePath, const Entry* directory);
// Appends one entry (and, for a directory, everything below it) in list layout to `out`.
void writeEntry(std::string& out, const Entry* entry);
