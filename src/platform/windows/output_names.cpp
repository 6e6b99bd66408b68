#include "platform/windows/output_names.h"

#include "output/output_name.h"

namespace {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

unsigned char upper(unsigned char c) {
    return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

bool equalsUpper(std::string_view text, std::string_view upperWord) {
    if (text.size() != upperWord.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (upper(static_cast<unsigned char>(text[i])) != static_cast<unsigned char>(upperWord[i]))
            return false;
    return true;
}

// A stored name that names an absolute Windows place loses the prefix that
// makes it absolute, the way leading separators are dropped on every host.
std::string_view withoutWindowsPrefix(std::string_view name) {
    if (name.size() >= 4 && isSeparator(name[0]) && isSeparator(name[1]) &&
        (name[2] == '?' || name[2] == '.') && isSeparator(name[3])) {
        name.remove_prefix(4);
        if (name.size() >= 4 && equalsUpper(name.substr(0, 3), "UNC") && isSeparator(name[3]))
            name.remove_prefix(4);
    }
    while (!name.empty() && isSeparator(name.front()))
        name.remove_prefix(1);
    unsigned char first = name.empty() ? 0 : upper(static_cast<unsigned char>(name[0]));
    // Only a drive with its root ("C:\") is taken for one: "B:C" is more
    // likely a name with a colon than a path relative to drive B.
    if (name.size() >= 3 && first >= 'A' && first <= 'Z' && name[1] == ':' && isSeparator(name[2]))
        name.remove_prefix(3);
    return name;
}

bool isRefused(unsigned char c) {
    switch (c) {
        case '<': case '>': case ':': case '"': case '/': case '\\': case '|': case '?': case '*':
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
    while (!base.empty() && base.back() == ' ')
        base.remove_suffix(1);
    static constexpr std::string_view WORDS[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$",
                                                 "CLOCK$"};
    for (std::string_view word : WORDS)
        if (equalsUpper(base, word))
            return true;
    if (base.size() < 4 || !(equalsUpper(base.substr(0, 3), "COM") || equalsUpper(base.substr(0, 3), "LPT")))
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

std::string windowsOutputPathFor(std::string_view storedName) {
    std::string_view name = storedName.substr(0, storedName.find('\0'));
    std::string portable = outputPathFor(withoutWindowsPrefix(name));
    std::string path;
    size_t start = 0;
    while (start < portable.size()) {
        size_t end = portable.find('/', start);
        if (end == std::string::npos)
            end = portable.size();
        if (!path.empty())
            path += '/';
        path += windowsSafeComponent(std::string_view(portable).substr(start, end - start));
        start = end + 1;
    }
    return path;
}
