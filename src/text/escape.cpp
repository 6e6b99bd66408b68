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
    forEachUtf8(utf8Text, [&](char32_t codePoint, std::string_view bytes) {
        if (codePoint == BROKEN_UTF8 || isControlCharacter(codePoint)) {
            for (char byte : bytes) appendHexByte(&out, static_cast<unsigned char>(byte));
        } else {
            out.append(bytes);
        }
    });
    return out;
}

void appendJsonString(std::string* out, std::string_view utf8Text) {
    out->push_back('"');
    forEachUtf8(utf8Text, [&](char32_t codePoint, std::string_view bytes) {
        switch (codePoint) {
            case BROKEN_UTF8: appendUtf8(out, U'\uFFFD'); return;
            case '"': *out += "\\\""; return;
            case '\\': *out += "\\\\"; return;
            case '\b': *out += "\\b"; return;
            case '\f': *out += "\\f"; return;
            case '\n': *out += "\\n"; return;
            case '\r': *out += "\\r"; return;
            case '\t': *out += "\\t"; return;
            default: break;
        }
        if (isControlCharacter(codePoint)) {
            // Lower-case digits, as JSON writers commonly give them.
            constexpr char LOWER_HEX[] = "0123456789abcdef";
            *out += "\\u00";
            out->push_back(LOWER_HEX[codePoint >> 4]);
            out->push_back(LOWER_HEX[codePoint & 0x0F]);
        } else {
            out->append(bytes);
        }
    });
    out->push_back('"');
}
