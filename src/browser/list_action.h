// F3 and Alt-F3: saving the file lists into the current directory, with the
// wait message on row 24 and, when a list cannot be written, a notice saying why.
#pragma once

// F3: saves the full list of the whole archive (BASE.lst).
void makeFullListAction();
// Alt-F3: saves the list of the shown directory's selected files (BASE.sel).
void makeSelectedListAction();
