// The operating-system line, the host version and the memory figure.
#include <cstdio>
#include <cstring>

#include "sysinfo/sysinfo.h"

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
    // The service-pack text ("Service Pack 1") stands apart from the build
    // figure; one that begins with its own blank keeps just that.
    char service[sizeof record->csdVersion + 2] = " ";
    std::memcpy(service + 1, record->csdVersion, sizeof record->csdVersion);
    service[sizeof record->csdVersion + 1] = '\0';
    const char* shown = service[1] == '\0' || service[1] == ' ' ? service + 1 : service;
    std::snprintf(buffer, 200, "Win%s %u.%u.%u%s", platformWord(record->platformId),
                  record->majorVersion, record->minorVersion, build, shown);
    return buffer;
}

std::string hostOsText() {
    OsVersionInfo record;
    queryOsVersion(&record);
    if (record.platformId != PLATFORM_HOST) {
        char line[200];
        return osVersionText(line, &record);
    }
    std::string name, release;
    if (!querySystemName(&name, &release))
        return "unknown system";
    return name + " " + release;
}

uint64_t availableMemory() {
    return queryAvailableMemory();
}

uint16_t dpmiVersion() {
    return 0x005A;
}

char* versionText(uint16_t word, char* buffer) {
    std::snprintf(buffer, 8, "%d.%d", word >> 8, word & 0xFF);
    return buffer;
}
