// F2: ripping the selected files (or the file under the cursor) of the shown
// directory into the current directory, with the progress line on row 24.
#pragma once

// The F2 action on browser.panel: rips every selected file of the shown
// directory, or else the file under the cursor, reading through the open
// archive browser.session. Files land below the current directory under their
// output names (output/output_name.h); a name taken earlier in the same F2
// gets a numbered one. On failure sets browser.terminationReason (with
// reasonSubject and reasonCause) and stops; files ripped before stay complete.
// Esc typed during the rip stops it: the file being written is not left
// behind, files ripped before keep their mark, and browser.notice says
// RIP_CANCELLED_NOTICE. Every other key typed meanwhile is dropped.
void ripEntries();

// The notice on row 24 after Esc stopped a rip.
extern const char* const RIP_CANCELLED_NOTICE;
