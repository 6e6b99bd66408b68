// The one-line messages printed when the run ends, and the escaping that keeps
// archive-supplied names from reaching the terminal as control sequences.
#pragma once

#include <string>
#include <string_view>

#include "text/escape.h"

// The end message for `reason` (a TerminationReason), without line ends;
// empty for reasons that print nothing on standard output. `archivePath` is
// host text (UTF-8); `subject` is the entry's name as stored (code page 437),
// or for REASON_MKDIR_FAILED the output directory's path (host text). Names
// are converted to UTF-8, then every control character is escaped as \xNN. A
// `cause` (why, in the system's words) follows after ": " when not empty.
std::string endMessage(int reason, const std::string& archivePath, const std::string& subject,
                       const std::string& cause = std::string());

// The explanation written to standard error when no key can be read.
extern const char* const NO_TERMINAL_MESSAGE;
