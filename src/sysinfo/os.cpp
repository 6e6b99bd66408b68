#include <sys/utsname.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sysinfo/sysinfo.h"

namespace {

// Reads the leading number of `text` and steps past it and one separator.
uint32_t takeNumber(const char*& text) {
    char* end = nullptr;
    unsigned long value = std::strtoul(text, &end, 10);
    if (end == text)
        return 0;
    text = end;
    if (*text == '.' || *text == '-')
        ++text;
    return static_cast<uint32_t>(value);
}

}  // namespace

void queryOsVersion(OsVersionInfo* record) {
    *record = OsVersionInfo{};
    record->size = sizeof(OsVersionInfo);
    record->platformId = PLATFORM_HOST;
    struct utsname name;
    if (uname(&name) != 0)
        return;
    // The kernel release ("6.1.0-18-amd64") gives the three version numbers.
    const char* release = name.release;
    record->majorVersion = takeNumber(release);
    record->minorVersion = takeNumber(release);
    record->buildNumber = takeNumber(release);
}

const char* platformWord(uint32_t platformId) {
    switch (platformId) {
        case 0:
            return "32s";
        case 1:
            return "dows 95";
        case 2:
            return "dows NT";
        default:
            return "ows";
    }
}

char* osVersionText(char* buffer, const OsVersionInfo* record) {
    // Only NT keeps a full 32-bit build number; the others carry other data
    // in the high word.
    uint32_t build = record->buildNumber;
    if (record->platformId != 2)
        build &= 0xFFFF;
    char service[sizeof record->csdVersion + 1];
    std::memcpy(service, record->csdVersion, sizeof record->csdVersion);
    service[sizeof record->csdVersion] = '\0';
    std::snprintf(buffer, 200, "Win%s %u.%u.%u%s", platformWord(record->platformId),
                  record->majorVersion, record->minorVersion, build, service);
    return buffer;
}

std::string hostOsText() {
    struct utsname name;
    if (uname(&name) != 0)
        return "unknown system";
    return std::string(name.sysname) + " " + name.release;
}

uint16_t dpmiVersion() {
    return 0x005A;
}

char* versionText(uint16_t word, char* buffer) {
    std::snprintf(buffer, 8, "%d.%d", word >> 8, word & 0xFF);
    return buffer;
}
