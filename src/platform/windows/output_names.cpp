#include "platform/windows/output_names.h"

#include "text/ascii_fold.h"
#include "text/utf8.h"

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

// The upper-case partner of `c` in the system's one-for-one table, for the
// blocks that code page 437 draws its letters from; `c` itself elsewhere.
char32_t upperCaseOf(char32_t c) {
    if (c >= 'a' && c <= 'z')
        return c - 0x20;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)  // à..þ, not ÷
        return c - 0x20;
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2)  // α..ω
        return c - 0x20;
    switch (c) {
        case 0xB5:  // µ
            return 0x39C;
        case 0xFF:  // ÿ
            return 0x178;
        case 0x3C2:  // final ς
            return 0x3A3;
        case 0x192:  // ƒ
            return 0x191;
        default:
            return c;
    }
}

}  // namespace

std::string windowsNameKey(std::string_view name) {
    std::string key;
    key.reserve(name.size());
    forEachUtf8(name, [&](char32_t c, std::string_view bytes) {
        if (c == BROKEN_UTF8)
            key += bytes;
        else
            appendUtf8(&key, upperCaseOf(c));
    });
    return key;
}

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
    if (base.size() < 4 || !(equalFoldingAscii(base.substr(0, 3), "COM") ||
                             equalFoldingAscii(base.substr(0, 3), "LPT")))
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
