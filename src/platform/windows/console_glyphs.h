// The characters the Windows console is given for the code page 437 cells.
//
// Pure and free of <windows.h>, so that the rules can be tested as tables on
// any host.
#pragma once

#include <cstdint>

// True when a console whose output code page is `codePage` draws box-drawing
// characters, arrows and most other non-ASCII glyphs two cells wide: the East
// Asian code pages 932, 936, 949 and 950. Frames drawn there would tear.
bool consoleDrawsWideGlyphs(unsigned codePage);

// The character the console shows for the code page 437 byte `byte`: its
// glyph, or with `asciiOnly` a printable ASCII stand-in one cell wide (frames
// as + - |, arrows as < > ^ v, shades and blocks as #, accented letters
// without their accents, anything else without a likeness as ?). 0 is a blank.
char16_t consoleGlyph(unsigned char byte, bool asciiOnly);
