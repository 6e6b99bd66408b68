#include "platform/windows/output_names.h"

#include "text/ascii_fold.h"

namespace {

bool isRefused(unsigned char c) {
    switch (c) {
        case '<':
        case '>':
        case ':':
        case '"':
        case '/':
        case '\\':
        case '|':
        case '?':
        case '*':
            return true;
        default:
            return c < 0x20;
    }
}

}  // namespace

bool isWindowsDeviceName(std::string_view component) {
    // The device is named by the part before the first dot, trailing spaces
    // left out: "nul.txt" and "CON .log" are devices as much as "CON".
    std::string_view base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    static constexpr std::string_view WORDS[] = {"CON",    "PRN",     "AUX",   "NUL",
                                                 "CONIN$", "CONOUT$", "CLOCK$"};
    for (std::string_view word : WORDS)
        if (equalFoldingAscii(base, word))
            return true;
    if (base.size() < 4 ||
        !(equalFoldingAscii(base.substr(0, 3), "COM") || equalFoldingAscii(base.substr(0, 3), "LPT")))
        return false;
    std::string_view digit = base.substr(3);
    // Superscript one, two and three count as digits to Windows as well.
    return (digit.size() == 1 && digit[0] >= '1' && digit[0] <= '9') || digit == "\u00B9" ||
           digit == "\u00B2" || digit == "\u00B3";
}

std::string windowsSafeComponent(std::string_view component) {
    std::string safe(component);
    for (char& c : safe)
        if (isRefused(static_cast<unsigned char>(c)))
            c = '_';
    // Windows drops trailing dots and spaces, which would make the name
    // another one (or none); they are kept visible instead.
    for (size_t i = safe.size(); i > 0 && (safe[i - 1] == '.' || safe[i - 1] == ' '); --i)
        safe[i - 1] = '_';
    if (isWindowsDeviceName(safe))
        safe.insert(safe.begin(), '_');
    return safe;
}
