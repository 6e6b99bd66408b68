// Reading the figures of the kernel's text files (/proc/meminfo, /proc/cpuinfo).
#pragma once

#include <cstdint>
#include <string>

// Bytes of MemAvailable plus SwapFree in the text of /proc/meminfo; 0 when
// neither is there.
uint64_t availableFromMeminfo(const std::string& meminfo);

// The value of the first line of /proc/cpuinfo text whose key is `key`
// ("model name"), spaces collapsed; "" when there is none.
std::string cpuinfoValue(const std::string& cpuinfo, const std::string& key);

// A rate in MHz written as decimal text ("2596.000") in hundredths of a MHz;
// 0 for text that is not such a number.
uint32_t hundredthsFromMhzText(const std::string& text);
