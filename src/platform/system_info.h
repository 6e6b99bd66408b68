// The raw system details the info box formats: version numbers, system name,
// available memory and what the system says of the processor. Every call
// asks the system afresh.
//
// One implementation per platform folder (posix/system_info.cpp, ...); the
// lines shown are formatted in sysinfo/ from these figures.
#pragma once

#include <cstdint>
#include <string>

// The operating-system version record, laid out like the Windows one (148 bytes).
struct OsVersionInfo {
    uint32_t size = 0;
    uint32_t majorVersion = 0;
    uint32_t minorVersion = 0;
    uint32_t buildNumber = 0;
    uint32_t platformId = 0;
    char csdVersion[128] = {};
};
static_assert(sizeof(OsVersionInfo) == 148);

// Platform identifier used on hosts that are not Windows.
constexpr uint32_t PLATFORM_HOST = 0x100;

// Fills `record` with the running system's version (size field 148 first):
// on Windows its real version numbers and platform 2; elsewhere the numbers
// of the kernel release ("6.1.0-18" gives 6, 1, 0) and PLATFORM_HOST. Fields
// the system does not give stay 0.
void queryOsVersion(OsVersionInfo* record);

// Sets `name` and `release` to the system's name and release as it reports
// them ("Linux", "6.1.0-18-amd64"). Returns 1 when known, 0 (both empty) when not.
int querySystemName(std::string* name, std::string* release);

// Bytes available to the program: the available page file on Windows; on
// Linux MemAvailable plus SwapFree. 0 when the system does not say.
uint64_t queryAvailableMemory();

// The processor's model name as the system reports it, or else the machine
// name ("aarch64"); "" when the system says nothing.
std::string queryProcessorName();

// The processor's clock rate as the system reports it, in hundredths of a
// MHz; 0 when it does not.
uint32_t queryProcessorClock();
