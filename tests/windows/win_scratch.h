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
                 std::to_wstring(counter()++));
        std::filesystem::create_directories(path_);
    }
    ~WinScratch() {
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(L"\\\\?\\" + path_.wstring()), ignored);
    }
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
    static int& counter() {
        static int next = 0;
        return next;
    }
    std::filesystem::path path_;
};
