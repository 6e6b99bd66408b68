// Text from the host (command-line arguments, paths on disk) shown on the
// code page 437 screen.
#pragma once

#include <string>
#include <string_view>

// `hostText` (UTF-8, the encoding of the host's locale) as code page 437 for
// the screen and the window title: each character as the byte of its glyph
// (é as 0x82, ← as 0x1B, which the screen draws as the arrow); '?' for a
// character the code page lacks, for a control character and for each byte
// that is no valid UTF-8, so that nothing comes out garbled.
std::string hostTextToCp437(std::string_view hostText);
