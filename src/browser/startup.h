// The program's entry: start-up, the run, and shutdown with its end message.
#pragma once

#include <cstdint>
#include <string>

#include "archive/loader.h"

// The whole program: checks the arguments, loads the archive, takes over the
// terminal, runs the main loop, gives the terminal back and prints why the
// run ended. Returns the exit status: 0 after Esc Esc or the usage line, 1
// when a failure ended the run (browserExitStatus) or when the terminal cannot
// show a full screen (TERM=dumb, an unknown type: refused with a message
// before anything is drawn).
int browserMain(int argc, char** argv);

// The exit status for a run that ended for `reason` (a TerminationReason):
// 0 when the user ended it, 1 when a failure did (the archive, the disk, no
// terminal), so that a script that starts the browser can tell.
int browserExitStatus(int reason);

// Writes "Usage: NAME <dir-file>" and an empty line to standard error, NAME
// being `programPath` after its last '\' or '/'.
void usage(const char* programPath);

// `path` with the ASCII letters a-z turned into A-Z; other bytes unchanged.
std::string upperCasePath(const std::string& path);

// Builds the root, loads the archive at `openPath` into it and sets the state
// up; sets browser.terminationReason when the archive cannot be used or holds
// more than `recordCap` records.
void startBrowser(const char* openPath, uint32_t recordCap = LOAD_ENTRY_CAP);

// Draws the static screen and runs the main loop on the active console.
void runBrowserSession();

// Releases what start-up built and prints the end message for the reason:
// on standard output for archive and ripping failures, on standard error
// when no key could be read.
void finishBrowser();
