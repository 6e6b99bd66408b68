// Output names under Windows' file-name rules.
//
// Pure and free of <windows.h>, so the rules are tested as tables on any host.
// Ripping and extraction on Windows take every output path from here.
#pragma once

#include <string>
#include <string_view>

// The on-disk path, relative to the output base directory, of the entry stored
// as `storedName` (code page 437): a leading drive root ("C:\"), a "\\?\" or
// "\\.\" prefix (with a following "UNC\") and leading separators are dropped,
// then outputPathFor applies, and each component is made one Windows accepts
// (windowsSafeComponent). '/'-separated UTF-8; empty when nothing is left.
std::string windowsOutputPathFor(std::string_view storedName);

// One path component (UTF-8) made usable on Windows: characters Windows
// refuses (< > : " / \ | ? * and control characters) become '_', trailing
// dots and spaces become '_', and a reserved device name (CON, PRN, AUX, NUL,
// COM1-COM9, LPT1-LPT9, CONIN$, CONOUT$, CLOCK$ in any case, with or without
// an extension) gets a leading '_'.
std::string windowsSafeComponent(std::string_view component);

// True when `component` names a device on Windows (see windowsSafeComponent).
bool isWindowsDeviceName(std::string_view component);
