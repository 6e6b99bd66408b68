// The system details of the info box: operating system, processor, host
// version and available memory. Every figure is taken afresh on each call;
// nothing is cached.
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

// Fills `record` with the running system's version (size field 148 first).
// On hosts that are not Windows the numbers come from the kernel release.
void queryOsVersion(OsVersionInfo* record);

// Writes "Win<platform> major.minor.build<service text>" into `buffer` (at least
// 200 bytes) and returns it; the build keeps all 32 bits only for platform 2.
char* osVersionText(char* buffer, const OsVersionInfo* record);

// "32s" for 0, "dows 95" for 1, "dows NT" for 2, "ows" for any other identifier.
const char* platformWord(uint32_t platformId);

// The operating-system line the info box shows: osVersionText on Windows,
// otherwise the system's name and release ("Linux 6.1.0-18-amd64").
std::string hostOsText();

// Names of the model indexes 0-5.
extern const char* const CPU_MODEL_NAMES[6];

// The processor word: model index in the high 16 bits, the clock in hundredths
// of a MHz modulo 65536 in the low 16 bits.
uint32_t cpuIdentify();

// The model index: 0-5 for the named models; another value for a CPUID family
// outside them; -1 when the processor has no CPUID and cannot be told apart.
int cpuModelIndex();

// The measured clock rate in hundredths of a MHz (not cut to 16 bits); 0 when
// the timing run gave no usable difference.
uint32_t cpuClockMeasure(int modelIndex);

// The clock rate from the ticks (1,193,182 Hz) of the long and the short run:
// C / (ticksA - ticksB) + 20, with C by model; 0 when the difference is 0.
uint32_t clockFromTicks(uint32_t ticksA, uint32_t ticksB, int modelIndex);

// 1 if CPUID leaf 1 reports MMX, else 0 (0 when there is no CPUID).
int cpuHasMmx();

// The processor's brand string from the extended CPUID leaves, or "" when it has none.
std::string cpuBrandString();

// What the system reports of the processor (its model name), or "" when nothing.
std::string cpuReportedName();

// The processor line from its parts: the model name (or `otherName` when the
// index has none), " MMX" for indexes above 3 with MMX, and " at N MHz" from
// the clock in hundredths (left out when the clock is 0). Kept within `width`
// characters by shortening the name.
std::string cpuLine(int modelIndex, bool hasMmx, uint32_t clock, const std::string& otherName,
                    size_t width);

// Returns a newly allocated 100-byte text holding the processor line; the
// caller frees it with delete[].
char* cpuText();

// Bytes available to the program: the available page file on Windows; on
// Linux MemAvailable plus SwapFree.
uint64_t availableMemory();

// Bytes of MemAvailable plus SwapFree in the text of /proc/meminfo; 0 when neither is there.
uint64_t availableFromMeminfo(const std::string& meminfo);

// The host version word, always 0x005A.
uint16_t dpmiVersion();

// Writes "high.low" of `word` into `buffer` (at least 8 bytes) and returns it; 0x005A gives "0.90".
char* versionText(uint16_t word, char* buffer);
