// Output directories created strictly inside a base directory.
#pragma once

#include <string>
#include <string_view>

// Opens the directory `relativeDirectory` ('/'-separated, as outputPathFor
// gives) below the open directory `baseFd`, creating every missing component
// on the way. No component is ever followed through a symbolic link, and ".."
// or an absolute path cannot leave the base: empty components are skipped and
// ".." is refused. Returns a new descriptor of the directory (the caller
// closes it); an empty path gives a new descriptor of the base itself. On
// failure returns -1 and sets `failedDirectory` (when not null) to the path,
// relative to the base, of the component that could be neither entered nor
// created.
int openConfinedDirectory(int baseFd, std::string_view relativeDirectory,
                          std::string* failedDirectory);
