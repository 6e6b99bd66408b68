// What the program's standard streams are connected to.
//
// One implementation per platform folder (posix/standard_streams.cpp, ...).
#pragma once

// True when standard error goes to a terminal or console a person watches
// (not a file or pipe), so progress that rewrites one line may go there.
bool standardErrorIsTerminal();

// Makes a console that standard output or error writes to show the UTF-8
// text the program writes there, until the program ends. On Windows this sets
// the console's output code page, which the user's shell shares, and gives
// the user's back at every way out; elsewhere, and where neither stream is a
// console, it does nothing. Safe to call more than once.
void useUtf8Output();
