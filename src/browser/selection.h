// Selecting files of the shown directory: one at a time, all inverted, or by
// a wildcard mask typed into a small dialog. Only files are ever selected.
#pragma once

struct InputLine;

// Sets the mask field up as it is at the start of a run ("*.*"); start-up calls it once.
void initMaskField();
// The mask field, kept with its last text for the whole run.
InputLine& maskField();
// Flips the selection of the file under the cursor; anything else is left alone.
void toggleSelection();
// Flips the selection of every file of the shown directory.
void invertSelection();
// Asks for a mask and selects every file whose name it matches.
void selectByMask();
// Asks for a mask and unselects every child whose name it matches.
void unselectByMask();
