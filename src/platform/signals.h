// Interrupts (Ctrl-C, a terminal hang-up, a request to end) while the program
// holds temporary output files or the terminal: the handlers remove the files,
// give the terminal back and then end the process as the interrupt would have.
//
// One implementation per platform folder (posix/signals.cpp, ...). Everything
// the handlers touch is prepared beforehand in fixed storage, so they neither
// allocate nor take locks.
#pragma once

#include <cstdint>

// Installs the interrupt handlers once (SIGINT, SIGTERM, SIGHUP on POSIX;
// Ctrl-C, Ctrl-Break and closing the window on Windows): they remove every
// pending file, run the registered restore action, and end the process
// with the signal's usual status.
void installInterruptHandlers();

// Registers the temporary file `name` in the open directory `directoryHandle`
// (a descriptor on POSIX) for removal if an interrupt ends the run. Returns a
// slot for clearPendingRemoval, or -1 when all slots are taken.
int addPendingRemoval(intptr_t directoryHandle, const char* name);

// Forgets `slot` (its file was renamed into place or removed). -1 is ignored.
void clearPendingRemoval(int slot);

// The action that gives the terminal back; run by the handlers before exit.
void setInterruptRestore(void (*restore)());
