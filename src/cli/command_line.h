// The command-line modes for scripts: --list, --extract, --verify, --create.
#pragma once

#include <iosfwd>

// True when the arguments ask for a command-line mode rather than the browser:
// the first argument is an option ("-" followed by something).
bool isCommandLineMode(int argc, char** argv);

// Runs the mode the arguments ask for. Returns the exit status: 0 success,
// 1 a failure of the archive or the disk (message on `err`), 2 wrong usage.
int runCommandLine(int argc, char** argv, std::ostream& out, std::ostream& err);
