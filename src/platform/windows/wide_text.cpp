#include "platform/windows/wide_text.h"

#include <windows.h>

#include <vector>

std::wstring utf8ToWide(std::string_view text) {
    if (text.empty())
        return std::wstring();
    int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), length);
    return wide;
}

std::string wideToUtf8(std::wstring_view text) {
    if (text.empty())
        return std::string();
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0,
                                     nullptr, nullptr);
    std::string utf8(size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), utf8.data(), length, nullptr,
                        nullptr);
    return utf8;
}

std::wstring systemPath(std::string_view utf8Path) {
    std::wstring path = utf8ToWide(utf8Path);
    for (wchar_t& c : path)
        if (c == L'/')
            c = L'\\';
    // Short paths go as given, so that relative paths and device names keep
    // their usual meaning; the prefix is only for what would fail without it.
    constexpr size_t CLASSIC_LIMIT = MAX_PATH - 12;  // room for an 8.3 name in a directory
    if (path.size() < CLASSIC_LIMIT || path.rfind(L"\\\\?\\", 0) == 0)
        return path;
    DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return path;
    std::vector<wchar_t> full(needed + 1);
    DWORD length = GetFullPathNameW(path.c_str(), DWORD(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size())
        return path;
    std::wstring absolute(full.data(), length);
    if (absolute.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + absolute.substr(2);
    return L"\\\\?\\" + absolute;
}

std::string windowsErrorText(uint32_t code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH:
            return "No such file or directory";
        case ERROR_ACCESS_DENIED:
            return "Permission denied";
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return "Device or resource busy";
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return "No space left on device";
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return "File exists";
        case ERROR_WRITE_PROTECT:
            return "Read-only file system";
        default:
            break;
    }
    wchar_t* message = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    std::wstring text = length != 0 && message != nullptr ? std::wstring(message, length) : L"";
    if (message != nullptr)
        LocalFree(message);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' ||
                             text.back() == L'.' || text.back() == L' '))
        text.pop_back();
    if (text.empty())
        return "error " + std::to_string(code);
    return wideToUtf8(text);
}
