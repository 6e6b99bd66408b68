// The figures read from the kernel's text files.
#include <gtest/gtest.h>

#include "platform/posix/proc_text.h"

TEST(ProcText, MeminfoSumsAvailableAndFreeSwap) {
    const std::string meminfo =
        "MemTotal:       16000000 kB\n"
        "MemFree:         1000000 kB\n"
        "MemAvailable:    1048576 kB\n"
        "SwapTotal:       2000000 kB\n"
        "SwapFree:        1048576 kB\n";
    EXPECT_EQ(availableFromMeminfo(meminfo) >> 20, 2048u);
    EXPECT_EQ(availableFromMeminfo("MemAvailable: 1023 kB\n") >> 20, 0u);
    EXPECT_EQ(availableFromMeminfo("garbage\n\nSwapFree: x kB\n"), 0u);
    // Above 4 GB the figure must not wrap.
    EXPECT_EQ(availableFromMeminfo("MemAvailable: 8388608 kB\n") >> 20, 8192u);
}

TEST(ProcText, CpuinfoKeysAndRates) {
    const std::string cpuinfo =
        "processor\t: 0\n"
        "cpu family\t: 6\n"
        "model\t\t: 85\n"
        "model name\t: Intel(R) Xeon(R)   Processor\n"
        "cpu MHz\t\t: 2596.012\n";
    EXPECT_EQ(cpuinfoValue(cpuinfo, "model name"), "Intel(R) Xeon(R) Processor");
    EXPECT_EQ(cpuinfoValue(cpuinfo, "model"), "85");  // not the "model name" line
    EXPECT_EQ(cpuinfoValue(cpuinfo, "Model"), "");
    EXPECT_EQ(hundredthsFromMhzText(cpuinfoValue(cpuinfo, "cpu MHz")), 259601u);
    for (const char* bad : {"", "fast", "-5", "0"}) EXPECT_EQ(hundredthsFromMhzText(bad), 0u) << bad;
}
