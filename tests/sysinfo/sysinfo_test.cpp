#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <cstring>
#include <string>

#include "sysinfo/sysinfo.h"

namespace {

OsVersionInfo makeRecord(uint32_t platform, uint32_t major, uint32_t minor, uint32_t build,
                         const char* service) {
    OsVersionInfo record;
    record.size = sizeof record;
    record.platformId = platform;
    record.majorVersion = major;
    record.minorVersion = minor;
    record.buildNumber = build;
    std::strncpy(record.csdVersion, service, sizeof record.csdVersion - 1);
    return record;
}

TEST(OsVersionText, PlatformWordsAndBuildWidth) {
    struct Case {
        uint32_t platform;
        uint32_t build;
        const char* service;
        const char* expected;
    };
    const Case cases[] = {
        {0, 0x00010203, "", "Win32s 4.10.515"},
        {1, 0x040A03B6, " A", "Windows 95 4.10.950 A"},
        {2, 0x00010565, "Service Pack 6", "Windows NT 4.10.66917Service Pack 6"},
        {2, 0xF0000001, "", "Windows NT 4.10.4026531841"},
        {3, 0x00020001, "", "Winows 4.10.1"},
        {PLATFORM_HOST, 7, "", "Winows 4.10.7"},
    };
    for (const Case& c : cases) {
        OsVersionInfo record = makeRecord(c.platform, 4, 10, c.build, c.service);
        char buffer[200];
        EXPECT_STREQ(osVersionText(buffer, &record), c.expected) << "platform " << c.platform;
    }
}

TEST(OsVersionText, PlatformWordTable) {
    EXPECT_STREQ(platformWord(0), "32s");
    EXPECT_STREQ(platformWord(1), "dows 95");
    EXPECT_STREQ(platformWord(2), "dows NT");
    EXPECT_STREQ(platformWord(4), "ows");
    EXPECT_STREQ(platformWord(0xFFFFFFFF), "ows");
}

TEST(OsVersionText, HostLineNamesTheRealSystem) {
    struct utsname name;
    ASSERT_EQ(uname(&name), 0);
    EXPECT_EQ(hostOsText(), std::string(name.sysname) + " " + name.release);

    OsVersionInfo record;
    queryOsVersion(&record);
    EXPECT_EQ(record.size, 148u);
    EXPECT_EQ(record.platformId, PLATFORM_HOST);
    EXPECT_EQ(record.majorVersion, static_cast<uint32_t>(std::atoi(name.release)));
}

TEST(HostVersion, AlwaysZeroPointNinety) {
    char buffer[8];
    EXPECT_EQ(dpmiVersion(), 0x005A);
    EXPECT_STREQ(versionText(dpmiVersion(), buffer), "0.90");
    EXPECT_STREQ(versionText(0x0A05, buffer), "10.5");
}

TEST(AvailableMemory, MeminfoSumsAvailableAndFreeSwap) {
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
    EXPECT_GT(availableMemory(), 0u);
}

TEST(CpuClock, FormulaConstantsAndGuards) {
    // C / D + 20 in hundredths of a MHz, C by model index.
    EXPECT_EQ(clockFromTicks(1000, 100, 0), 38181830u / 900 + 20);
    EXPECT_EQ(clockFromTicks(1000, 100, 1), 38181830u / 900 + 20);
    EXPECT_EQ(clockFromTicks(1000, 100, 2), 39648108u / 900 + 20);
    EXPECT_EQ(clockFromTicks(1000, 100, 5), 39648108u / 900 + 20);
    // No difference: no figure, and no division by zero.
    EXPECT_EQ(clockFromTicks(500, 500, 4), 0u);
    // Rates beyond 655.35 MHz keep all their digits.
    EXPECT_EQ(clockFromTicks(110, 10, 5), 396501u);
}

TEST(CpuLine, NamedModelsSuffixAndClock) {
    struct Case {
        int index;
        bool mmx;
        uint32_t clock;
        const char* expected;
    };
    const Case cases[] = {
        {4, true, 23320, "Pentium MMX at 233 MHz"},
        {4, false, 13399, "Pentium at 133 MHz"},
        {5, true, 396501, "PentiumPro MMX at 3965 MHz"},
        {3, true, 6600, "i486DX at 66 MHz"},  // no suffix below the Pentium
        {0, false, 1620, "i386SX at 16 MHz"},
        {1, false, 0, "i386DX"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(cpuLine(c.index, c.mmx, c.clock, "", 38), c.expected) << c.index;
}

TEST(CpuLine, OtherFamiliesShowTheBrandWithinTheWidth) {
    EXPECT_EQ(cpuLine(14, true, 300000, "AMD EPYC", 38), "AMD EPYC at 3000 MHz");
    EXPECT_EQ(cpuLine(-1, false, 0, "", 38), "Unknown processor");
    EXPECT_EQ(cpuLine(14, false, 734200, "Oxide Virtual Turin-like Processor", 38),
              "Oxide Virtual Turin-like at 7342 MHz");
    EXPECT_EQ(cpuLine(14, false, 100, std::string(60, 'X'), 38),
              std::string(29, 'X') + " at 1 MHz");
    std::string line = cpuLine(14, false, 370000, "Intel(R) Core(TM) i7-8700K CPU @ 3.70GHz", 38);
    EXPECT_EQ(line, "Intel Core i7-8700K at 3700 MHz");
    EXPECT_LE(line.size(), 38u);
}

TEST(CpuText, ThisHostGivesAShortNonEmptyLine) {
    char* text = cpuText();
    ASSERT_NE(text, nullptr);
    EXPECT_GT(std::strlen(text), 0u);
    EXPECT_LE(std::strlen(text), 38u);
    delete[] text;
    uint32_t word = cpuIdentify();
    EXPECT_EQ(static_cast<int>(word >> 16) & 0xFFFF, cpuModelIndex() & 0xFFFF);
}

}  // namespace
