#include "text/host_text.h"

#include "text/cp437.h"
#include "text/utf8.h"

std::string hostTextToCp437(std::string_view hostText) {
    std::string out;
    out.reserve(hostText.size());
    size_t at = 0;
    while (at < hostText.size()) {
        char32_t codePoint = 0;
        const size_t length = decodeUtf8(hostText, at, &codePoint);
        // A broken byte stands for one unknown character: '?' and go on with
        // the next byte, which may start a valid one again.
        if (length == 0) {
            out.push_back('?');
            ++at;
            continue;
        }
        at += length;
        const int byte = unicodeToCp437(codePoint);
        out.push_back(byte < 0 ? '?' : static_cast<char>(byte));
    }
    return out;
}
