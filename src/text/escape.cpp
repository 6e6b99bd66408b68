#include "text/escape.h"

#include "text/utf8.h"

namespace {

constexpr char HEX_DIGITS[] = "0123456789ABCDEF";

void appendHexByte(std::string* out, unsigned char byte) {
    *out += "\\x";
    out->push_back(HEX_DIGITS[byte >> 4]);
    out->push_back(HEX_DIGITS[byte & 0x0F]);
}

}  // namespace

std::string escapeControls(std::string_view utf8Text) {
    std::string out;
    out.reserve(utf8Text.size());
    size_t at = 0;
    while (at < utf8Text.size()) {
        char32_t codePoint = 0;
        const size_t length = decodeUtf8(utf8Text, at, &codePoint);
        if (length == 0 || isControlCharacter(codePoint)) {
            // One byte at a time: the rest of a C1 character's form is no
            // valid sequence either and is written out the same way.
            appendHexByte(&out, static_cast<unsigned char>(utf8Text[at]));
            ++at;
            continue;
        }
        out.append(utf8Text.substr(at, length));
        at += length;
    }
    return out;
}

void appendJsonString(std::string* out, std::string_view utf8Text) {
    out->push_back('"');
    size_t at = 0;
    while (at < utf8Text.size()) {
        char32_t codePoint = 0;
        const size_t length = decodeUtf8(utf8Text, at, &codePoint);
        if (length == 0) {
            appendUtf8(out, U'\uFFFD');
            ++at;
            continue;
        }
        at += length;
        switch (codePoint) {
            case '"': *out += "\\\""; continue;
            case '\\': *out += "\\\\"; continue;
            case '\b': *out += "\\b"; continue;
            case '\f': *out += "\\f"; continue;
            case '\n': *out += "\\n"; continue;
            case '\r': *out += "\\r"; continue;
            case '\t': *out += "\\t"; continue;
            default: break;
        }
        if (isControlCharacter(codePoint)) {
            // Lower-case digits, as JSON writers commonly give them.
            constexpr char LOWER_HEX[] = "0123456789abcdef";
            *out += "\\u00";
            out->push_back(LOWER_HEX[codePoint >> 4]);
            out->push_back(LOWER_HEX[codePoint & 0x0F]);
        } else {
            out->append(utf8Text.substr(at - length, length));
        }
    }
    out->push_back('"');
}
