// Screen texts are written in the sources as readable UTF-8 and turned into
// the code page 437 bytes the draw buffer holds.
#pragma once

#include <string>
#include <string_view>

// The code page 437 form of a UTF-8 literal whose every character has one.
std::string screenText(std::string_view utf8);
