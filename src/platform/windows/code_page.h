// The console's output code page, which the program sets to UTF-8 for its
// text output (useUtf8Output, platform/standard_streams.h) and gives back.
#pragma once

// Gives the user's output code page back, for the control handler's thread
// just before the process ends: waits for a change the main thread is in the
// middle of and keeps the code page from being changed again.
void restoreCodePageForExit();

// The output code page the user's console has: the one in force, or the one
// to come back when the program has set its own.
unsigned userCodePage();
