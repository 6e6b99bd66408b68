// Output files still under their temporary names, known to the interrupt
// handlers so that an interrupted run leaves none of them behind.
#pragma once

#include "platform/output_files.h"

// Registers `file` (just created) for removal should an interrupt end the
// run. Returns the slot for forgetPendingFile, or -1 when it could not be registered.
int watchPendingFile(const OutputFile& file);
// Forgets the slot once its file was renamed into place or removed; -1 is ignored.
void forgetPendingFile(int slot);
