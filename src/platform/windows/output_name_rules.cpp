#include <windows.h>

#include "platform/output_files.h"
#include "platform/windows/output_names.h"
#include "platform/windows/wide_text.h"

std::string outputComponentName(std::string_view component) {
    return windowsSafeComponent(component);
}

std::string outputNameKey(std::string_view name) {
    const std::wstring wide = utf8ToWide(name);
    if (wide.empty())
        return std::string();
    // The invariant locale maps each UTF-16 unit one for one, whatever the
    // user's language (no Turkish dotted I), as the file system's own
    // upper-case table does when it compares names.
    const int length = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.c_str(),
                                     int(wide.size()), nullptr, 0, nullptr, nullptr, 0);
    if (length <= 0)
        return windowsNameKey(name);
    std::wstring upper(size_t(length), L'\0');
    if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.c_str(), int(wide.size()),
                      upper.data(), length, nullptr, nullptr, 0) != length)
        return windowsNameKey(name);
    return wideToUtf8(upper);
}
