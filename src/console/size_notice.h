// What a console window too small for the 80 x 25 grid shows instead of it.
#pragma once

#include "console/screen.h"

// True when a window of `columns` x `rows` cells shows the whole grid.
bool windowHoldsGrid(int columns, int rows);

// Fills the 2000 `cells` with the frame shown instead of the grid in a window
// of `columns` x `rows` cells that is too small for it: blank, with one line
// centred in the window's visible part saying the size needed and the size now.
void sizeNoticeFrame(int columns, int rows, Cell* cells);
