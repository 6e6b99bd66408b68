#include "browser/messages.h"

#include <cstdio>

#include "browser/state.h"
#include "text/cp437.h"

const char* const NO_TERMINAL_MESSAGE =
    "dirrip needs a terminal: no key can be read from standard input";

namespace {

// Names from the archive are code page 437: in UTF-8 first, so that the
// message reads as the panel and the file on disk do (CAFÉ, not CAF\x90);
// paths and the output directory are host text already.
std::string endMessageText(int reason, const std::string& path, const std::string& subject) {
    std::string name = escapeControls(cp437TextToUtf8(subject));
    std::string directory = escapeControls(subject);
    switch (reason) {
        case REASON_OPEN_FAILED:
            return "Unable open '" + path + "'";
        case REASON_BAD_FORMAT:
            return "'" + path + "' has invalid format";
        case REASON_CREATE_FAILED:
            return "Unable create '" + name + "'";
        case REASON_DISK_FULL:
            return "Insufficient disk space to rip '" + name + "'";
        case REASON_MKDIR_FAILED:
            return "Unable create directory '" + directory + "'";
        case REASON_READ_FAILED:
            return "Unable read '" + name + "' from archive";
        case REASON_WRITE_FAILED:
            return "Unable write '" + name + "'";
        case REASON_TOO_LARGE:
            return "'" + path + "' holds too many entries";
        default:
            return "";
    }
}

}  // namespace

std::string endMessage(int reason, const std::string& archivePath, const std::string& subject,
                       const std::string& cause) {
    std::string message = endMessageText(reason, escapeControls(archivePath), subject);
    if (!message.empty() && !cause.empty())
        message += ": " + escapeControls(cause);
    return message;
}
