#include "browser/messages.h"

#include <cstdio>

#include "browser/state.h"

const char* const NO_TERMINAL_MESSAGE =
    "dirrip needs a terminal: no key can be read from standard input";

std::string endMessage(int reason, const std::string& archivePath, const std::string& subject) {
    std::string path = escapeControls(archivePath);
    std::string name = escapeControls(subject);
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
