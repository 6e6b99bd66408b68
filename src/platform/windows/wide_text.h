// UTF-8 <-> UTF-16 and the Windows forms of paths and error codes.
//
// The program keeps every text in UTF-8 (the command line is converted once at
// entry); only the files under src/platform/windows/ speak UTF-16 to the system.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The UTF-16 form of a UTF-8 text; invalid bytes become U+FFFD.
std::wstring utf8ToWide(std::string_view text);

// The UTF-8 form of a UTF-16 text; unpaired surrogates become U+FFFD.
std::string wideToUtf8(std::wstring_view text);

// The form of `path` to hand to the file API: '/' turned into '\', and a path
// that is (or becomes, made absolute) too long for the classic limit of 260
// characters given the "\\?\" (or "\\?\UNC\") prefix that lifts the limit.
std::wstring systemPath(std::string_view utf8Path);

// The system's words for the error code `code` (GetLastError), in UTF-8
// without a final period or line end; the common codes worded as the POSIX
// build words them ("No such file or directory", "Permission denied", ...).
std::string windowsErrorText(uint32_t code);
