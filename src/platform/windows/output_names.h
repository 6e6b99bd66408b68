// Output names under Windows' file-name rules.
//
// Pure and free of <windows.h>, so the rules are tested as tables on any host.
// The output-file seam on Windows passes every name it is given through
// windowsSafeComponent.
#pragma once

#include <string>
#include <string_view>

// One path component (UTF-8) made usable on Windows: characters Windows
// refuses (< > : " / \ | ? * and control characters) become '_', trailing
// dots and spaces become '_', and a reserved device name (CON, PRN, AUX, NUL,
// COM1-COM9, LPT1-LPT9, CONIN$, CONOUT$, CLOCK$ in any case, with or without
// an extension) gets a leading '_'.
std::string windowsSafeComponent(std::string_view component);

// True when `component` names a device on Windows (see windowsSafeComponent).
bool isWindowsDeviceName(std::string_view component);

// The comparison key of a name (UTF-8) as NTFS compares names, from a table of
// our own: each letter upper-cased one for one (a..z, the Latin-1 letters, the
// Greek ones and the others among the code page 437 glyphs), everything else
// kept. Two names of code page 437 glyphs are one file on Windows exactly when
// their keys are equal. The fallback where the system's mapping cannot be had.
std::string windowsNameKey(std::string_view name);
