// System details on Windows: the real version numbers (RtlGetVersion, which
// compatibility shims do not bend), memory from GlobalMemoryStatusEx and the
// processor as the system's hardware description names it.
#include "platform/system_info.h"

#include <windows.h>

#include <cstring>

#include "platform/windows/wide_text.h"

extern "C" NTSYSAPI LONG NTAPI RtlGetVersion(PRTL_OSVERSIONINFOW version);

namespace {

const wchar_t PROCESSOR_KEY[] = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

}  // namespace

void queryOsVersion(OsVersionInfo* record) {
    *record = OsVersionInfo{};
    record->size = sizeof(OsVersionInfo);
    RTL_OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (RtlGetVersion(&version) != 0)
        return;
    record->majorVersion = version.dwMajorVersion;
    record->minorVersion = version.dwMinorVersion;
    record->buildNumber = version.dwBuildNumber;
    record->platformId = version.dwPlatformId;
    std::string service = wideToUtf8(version.szCSDVersion);
    std::strncpy(record->csdVersion, service.c_str(), sizeof record->csdVersion - 1);
}

int querySystemName(std::string* name, std::string* release) {
    OsVersionInfo record;
    queryOsVersion(&record);
    if (record.majorVersion == 0) {
        name->clear();
        release->clear();
        return 0;
    }
    *name = "Windows";
    *release = std::to_string(record.majorVersion) + "." + std::to_string(record.minorVersion) +
               "." + std::to_string(record.buildNumber);
    return 1;
}

uint64_t queryAvailableMemory() {
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status))
        return 0;
    return status.ullAvailPageFile;
}

std::string queryProcessorName() {
    wchar_t name[256] = {};
    DWORD bytes = sizeof name - sizeof name[0];
    if (RegGetValueW(HKEY_LOCAL_MACHINE, PROCESSOR_KEY, L"ProcessorNameString", RRF_RT_REG_SZ,
                     nullptr, name, &bytes) != ERROR_SUCCESS)
        return std::string();
    std::string text = wideToUtf8(name);
    // The string is padded with spaces on some processors.
    size_t first = text.find_first_not_of(' ');
    size_t last = text.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

uint32_t queryProcessorClock() {
    DWORD megahertz = 0;
    DWORD bytes = sizeof megahertz;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, PROCESSOR_KEY, L"~MHz", RRF_RT_REG_DWORD, nullptr,
                     &megahertz, &bytes) != ERROR_SUCCESS)
        return 0;
    return megahertz * 100;
}
