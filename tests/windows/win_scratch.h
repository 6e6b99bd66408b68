// A fresh folder under the Windows temporary folder for one test, removed
// with everything in it when the test ends.
#pragma once

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/windows/wide_text.h"

class WinScratch {
  public:
    WinScratch() {
        wchar_t base[MAX_PATH + 1];
        GetTempPathW(MAX_PATH + 1, base);
        path_ = std::filesystem::path(base) /
                (L"dirrip-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(counter()++));
        std::filesystem::create_directories(path_);
    }
    ~WinScratch() { removeTree(L"\\\\?\\" + path_.wstring()); }
    WinScratch(const WinScratch&) = delete;
    WinScratch& operator=(const WinScratch&) = delete;

    // The UTF-8 path of `name` (UTF-8, '/' allowed) inside the folder.
    std::string file(const std::string& name) const {
        return wideToUtf8(path_.wstring()) + "\\" + name;
    }
    // Writes `bytes` as `name` inside the folder and returns its UTF-8 path.
    std::string write(const std::string& name, const std::string& bytes) const {
        std::string path = file(name);
        std::ofstream out(std::filesystem::path(systemPath(path)), std::ios::binary);
        out << bytes;
        return path;
    }

  private:
    // Removes a folder and all in it, long paths included; links are removed,
    // never followed.
    static void removeTree(const std::wstring& path) {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = found.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                std::wstring child = path + L"\\" + name;
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                    !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                    removeTree(child);
                else if (!DeleteFileW(child.c_str()))
                    RemoveDirectoryW(child.c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(path.c_str());
    }
    static int& counter() {
        static int next = 0;
        return next;
    }
    std::filesystem::path path_;
};
