#include "text/host_text.h"

#include "text/cp437.h"
#include "text/utf8.h"

std::string hostTextToCp437(std::string_view hostText) {
    std::string out;
    out.reserve(hostText.size());
    // A broken byte (BROKEN_UTF8, which has no form) stands for one unknown
    // character: '?' and go on with the next byte, which may start a valid one again.
    forEachUtf8(hostText, [&](char32_t codePoint, std::string_view) {
        const int byte = unicodeToCp437(codePoint);
        out.push_back(byte < 0 ? '?' : static_cast<char>(byte));
    });
    return out;
}
