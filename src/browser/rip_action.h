// F2: ripping the selected files (or the file under the cursor) of the shown
// directory into the current directory, with the progress line on row 24.
#pragma once

#include <string>
#include <vector>

class Entry;

// A file that F2 rips (and F5 puts back): its index among the shown
// directory's children and the path it is ripped to, relative to the
// current directory ('/' between names, host text; empty when nothing of its
// name is left to write it under).
struct RipTarget {
    int index = 0;
    std::string outputPath;
};

// The files F2 takes in `directory` with the cursor on child `cursor`: its
// selected files in listing order, or else the file under the cursor; none
// when neither is there. Their output paths are planned together, as one F2
// writes them.
std::vector<RipTarget> ripTargets(const Entry* directory, int cursor);

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
