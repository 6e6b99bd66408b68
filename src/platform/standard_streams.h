// What the program's standard streams are connected to.
//
// One implementation per platform folder (posix/standard_streams.cpp, ...).
#pragma once

// True when standard error goes to a terminal or console a person watches
// (not a file or pipe), so progress that rewrites one line may go there.
bool standardErrorIsTerminal();
