#include "browser/messages.h"

#include <cstdio>

#include "browser/state.h"

const char* const NO_TERMINAL_MESSAGE =
    "dirrip needs a terminal: no key can be read from standard input";

namespace {

std::string endMessageText(int reason, const std::string& path, const std::string& name) {
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
            return "Unable create directory '" + name + "'";
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
    std::string message =
        endMessageText(reason, escapeControls(archivePath), escapeControls(subject));
    if (!message.empty() && !cause.empty())
        message += ": " + escapeControls(cause);
    return message;
}
