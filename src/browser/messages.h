// The one-line messages printed when the run ends, and the escaping that keeps
// archive-supplied names from reaching the terminal as control sequences.
#pragma once

#include <string>
#include <string_view>

#include "text/escape.h"

// The end message for `reason` (a TerminationReason), without line ends;
// empty for reasons that print nothing on standard output. `archivePath` and
// `subject` (the entry or directory the reason names) are escaped here.
std::string endMessage(int reason, const std::string& archivePath, const std::string& subject);

// The explanation written to standard error when no key can be read.
extern const char* const NO_TERMINAL_MESSAGE;
