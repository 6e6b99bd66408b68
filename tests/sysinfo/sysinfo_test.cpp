#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
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
        {2, 0x00010565, "Service Pack 6", "Windows NT 4.10.66917 Service Pack 6"},
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

TEST(OsVersionText, HostLineNamesTheRunningSystem) {
    OsVersionInfo record;
    queryOsVersion(&record);
    EXPECT_EQ(record.size, 148u);
    std::string line = hostOsText();
    if (record.platformId == PLATFORM_HOST) {
        std::string name, release;
        ASSERT_EQ(querySystemName(&name, &release), 1);
        EXPECT_EQ(line, name + " " + release);
        EXPECT_EQ(record.majorVersion, static_cast<uint32_t>(std::atoi(release.c_str())));
    } else {
        EXPECT_EQ(line.rfind("Win", 0), 0u) << line;
    }
}

TEST(HostVersion, AlwaysZeroPointNinety) {
    char buffer[8];
    EXPECT_STREQ(versionText(dpmiVersion(), buffer), "0.90");
    EXPECT_STREQ(versionText(0x0A05, buffer), "10.5");
    EXPECT_GT(availableMemory(), 0u);
}

TEST(CpuLine, BrandFirstThenModelTableThenReportedName) {
    struct Case {
        const char* brand;
        int index;
        bool mmx;
        const char* reported;
        uint32_t clock;
        const char* expected;
    };
    const Case cases[] = {
        // Without a brand string: the model table, MMX only from the Pentium on.
        {"", 4, true, "", 23320, "Pentium MMX at 233 MHz"},
        {"", 4, false, "", 13399, "Pentium at 133 MHz"},
        {"", 5, false, "", 20000, "PentiumPro at 200 MHz"},
        {"", 3, true, "", 6600, "i486DX at 66 MHz"},
        {"", 0, false, "", 1620, "i386SX at 16 MHz"},
        {"", 1, false, "", 0, "i386DX"},
        // A modern family-6 processor is named by its brand, never "PentiumPro".
        {"Intel(R) Core(TM) i7-8700K CPU @ 3.70GHz", 5, true, "", 370000,
         "Intel Core i7-8700K at 3700 MHz"},
        {"AMD EPYC 7B13 64-Core Processor", 22, true, "", 259600,
         "AMD EPYC 7B13 64-Core at 2596 MHz"},
        // Other families and architectures: what the system reports.
        {"", 14, false, "Some Virtual Core", 100000, "Some Virtual Core at 1000 MHz"},
        {"", -1, false, "aarch64", 0, "aarch64"},
        {"", -1, false, "", 0, "Unknown processor"},
        // Too long: the name gives way, the clock stays.
        {"Oxide Virtual Turin-like Processor with a long tail", 25, false, "", 734200,
         "Oxide Virtual Turin-like w at 7342 MHz"},
    };
    for (const Case& c : cases) {
        std::string line = cpuLine(c.brand, c.index, c.mmx, c.reported, c.clock, 38);
        EXPECT_EQ(line, c.expected) << c.brand << " / " << c.index;
        EXPECT_LE(line.size(), 38u);
    }
}

// The figure the host itself gives for the rated clock, in MHz, or 0: the
// nominal rate in the brand string, or the kernel's fixed figure where no
// frequency driver moves it.
double referenceMhz() {
    std::string brand = cpuBrandString();
    size_t at = brand.find(" @ ");
    if (at != std::string::npos && brand.find("GHz", at) != std::string::npos)
        return std::atof(brand.c_str() + at + 3) * 1000;
    if (std::filesystem::exists("/sys/devices/system/cpu/cpu0/cpufreq"))
        return 0;
    std::ifstream cpuinfo("/proc/cpuinfo");
    for (std::string line; std::getline(cpuinfo, line);) {
        if (line.rfind("cpu MHz", 0) == 0 && line.find(':') != std::string::npos)
            return std::atof(line.c_str() + line.find(':') + 1);
    }
    return 0;
}

TEST(CpuClock, AgreesWithTheHostsOwnFigure) {
    uint32_t clock = cpuClockMeasure();
    ASSERT_GT(clock, 0u);
    double reference = referenceMhz();
    if (reference <= 0)
        GTEST_SKIP() << "the host gives no fixed clock figure to compare with";
    EXPECT_LT(std::fabs(clock / 100.0 - reference) / reference, 0.05)
        << "measured " << clock / 100.0 << " MHz, the host says " << reference << " MHz";
}

TEST(CpuText, ThisHostGivesAShortNonEmptyLine) {
    char* text = cpuText();
    ASSERT_NE(text, nullptr);
    EXPECT_GT(std::strlen(text), 0u);
    EXPECT_LE(std::strlen(text), 38u);
    EXPECT_EQ(std::string(text).find("PentiumPro"), std::string::npos) << text;
    delete[] text;
    uint32_t word = cpuIdentify();
    EXPECT_EQ(static_cast<int>(word >> 16) & 0xFFFF, cpuModelIndex() & 0xFFFF);
}

}  // namespace
