#include "browser/messages.h"

#include <cstdio>

#include "browser/state.h"

const char* const NO_TERMINAL_MESSAGE =
    "dirrip needs a terminal: no key can be read from standard input";

namespace {

void appendEscaped(std::string& out, unsigned char byte) {
    char code[5];
    std::snprintf(code, sizeof code, "\\x%02X", byte);
    out += code;
}

// Length of the valid UTF-8 sequence at `text[at]`, or 0 when it is not one.
size_t utf8Length(std::string_view text, size_t at, char32_t* codePoint) {
    unsigned char lead = static_cast<unsigned char>(text[at]);
    size_t length;
    char32_t value;
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    for (size_t i = 1; i < length; ++i) {
        unsigned char next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (next & 0x3F);
    }
    static const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *codePoint = value;
    return length;
}

}  // namespace

std::string escapeControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t at = 0;
    while (at < text.size()) {
        char32_t codePoint = 0;
        size_t length = utf8Length(text, at, &codePoint);
        bool control =
            codePoint < 0x20 || codePoint == 0x7F || (codePoint >= 0x80 && codePoint <= 0x9F);
        if (length == 0 || control) {
            appendEscaped(out, static_cast<unsigned char>(text[at]));
            ++at;
            continue;
        }
        out.append(text.substr(at, length));
        at += length;
    }
    return out;
}

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
    std::string message = endMessageText(reason, escapeControls(archivePath), escapeControls(subject));
    if (!message.empty() && !cause.empty())
        message += ": " + escapeControls(cause);
    return message;
}
