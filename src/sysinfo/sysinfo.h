// The system details of the info box: operating system, processor, host
// version and available memory, formatted from the raw figures of
// platform/system_info.h. Every figure is taken afresh on each call; nothing
// is cached.
#pragma once

#include <cstdint>
#include <string>

#include "platform/system_info.h"

// Writes "Win<platform> major.minor.build <service text>" into `buffer` (at
// least 200 bytes; no blank is added when there is no service text or it
// begins with one) and returns it; the build keeps all 32 bits only for platform 2.
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

// The processor's clock rate in hundredths of a MHz (not cut to 16 bits): its
// cycle counter timed against the monotonic clock where it has one, else the
// system's figure; 0 when neither is known.
uint32_t cpuClockMeasure();

// 1 if CPUID leaf 1 reports MMX, else 0 (0 when there is no CPUID).
int cpuHasMmx();

// The processor's brand string from the extended CPUID leaves, or "" when it has none.
std::string cpuBrandString();

// The processor line from its parts: the brand string when there is one
// (marks such as "(R)" and the nominal "@ 3.70GHz" left out); else the model
// name of indexes 0-5 (" MMX" added for indexes above 3 with MMX); else
// `reportedName` or "Unknown processor". Then " at N MHz" from the clock in
// hundredths (left out when the clock is 0). Kept within `width` characters
// by shortening the name.
std::string cpuLine(const std::string& brand, int modelIndex, bool hasMmx,
                    const std::string& reportedName, uint32_t clock, size_t width);

// Returns a newly allocated 100-byte text holding the processor line; the
// caller frees it with delete[].
char* cpuText();

// Bytes available to the program: the available page file on Windows; on
// Linux MemAvailable plus SwapFree.
uint64_t availableMemory();

// The host version word, always 0x005A.
uint16_t dpmiVersion();

// Writes "high.low" of `word` into `buffer` (at least 8 bytes) and returns it; 0x005A gives "0.90".
char* versionText(uint16_t word, char* buffer);
