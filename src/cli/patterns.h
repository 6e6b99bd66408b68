// The wildcard patterns that select entries for --list and --extract.
#pragma once

#include <ostream>
#include <string>
#include <vector>

class PatternChoice;

// Converts the user's patterns (UTF-8) to code page 437, as the matcher reads
// names. Returns 1 when every pattern converted; otherwise 0, after naming the
// first pattern that holds a character code page 437 lacks on `err`.
int patternsToCp437(const std::vector<std::string>& patterns, std::vector<std::string>* cp437,
                    std::ostream& err);

// Says on `err`, one line each, which of the user's `patterns` (UTF-8, as
// given) `choice` has matched no entry of the archive at `archivePath` with.
// Returns 1 when every pattern matched something, 0 when one or more did not.
int reportUnmatchedPatterns(const PatternChoice& choice, const std::vector<std::string>& patterns,
                            const std::string& archivePath, std::ostream& err);
