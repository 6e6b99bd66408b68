// System details on POSIX hosts: uname and the kernel's text files.
#include "platform/system_info.h"

#include <sys/utsname.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/posix/proc_text.h"

namespace {

std::string readWhole(const char* path) {
    std::ifstream file(path);
    if (!file)
        return "";
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

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

std::string collapseSpaces(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\t')
            c = ' ';
        if (c == ' ' && (out.empty() || out.back() == ' '))
            continue;
        out += c;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

}  // namespace

uint64_t availableFromMeminfo(const std::string& meminfo) {
    // The closest figure to a free page file: memory that can be had without
    // swapping, plus the swap that is still free. Values are in kB.
    uint64_t total = 0;
    std::istringstream lines(meminfo);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string key;
        uint64_t kilobytes = 0;
        if (!(fields >> key >> kilobytes))
            continue;
        if (key == "MemAvailable:" || key == "SwapFree:")
            total += kilobytes * 1024;
    }
    return total;
}

std::string cpuinfoValue(const std::string& cpuinfo, const std::string& key) {
    std::istringstream lines(cpuinfo);
    std::string line;
    while (std::getline(lines, line)) {
        size_t colon = line.find(':');
        if (colon == std::string::npos || collapseSpaces(line.substr(0, colon)) != key)
            continue;
        return collapseSpaces(line.substr(colon + 1));
    }
    return "";
}

uint32_t hundredthsFromMhzText(const std::string& text) {
    const char* start = text.c_str();
    while (*start == ' ') ++start;
    char* end = nullptr;
    double mhz = std::strtod(start, &end);
    if (end == start || !(mhz > 0) || mhz > 40000000.0)
        return 0;
    return static_cast<uint32_t>(mhz * 100 + 0.5);
}

void queryOsVersion(OsVersionInfo* record) {
    *record = OsVersionInfo{};
    record->size = sizeof(OsVersionInfo);
    record->platformId = PLATFORM_HOST;
    struct utsname name;
    if (uname(&name) != 0)
        return;
    const char* release = name.release;
    record->majorVersion = takeNumber(release);
    record->minorVersion = takeNumber(release);
    record->buildNumber = takeNumber(release);
}

int querySystemName(std::string* name, std::string* release) {
    name->clear();
    release->clear();
    struct utsname system;
    if (uname(&system) != 0)
        return 0;
    *name = system.sysname;
    *release = system.release;
    return 1;
}

uint64_t queryAvailableMemory() {
    return availableFromMeminfo(readWhole("/proc/meminfo"));
}

std::string queryProcessorName() {
    std::string cpuinfo = readWhole("/proc/cpuinfo");
    // x86 kernels say "model name"; others "Model", "cpu model" or "cpu".
    for (const char* key : {"model name", "Model", "cpu model", "cpu"}) {
        std::string name = cpuinfoValue(cpuinfo, key);
        if (!name.empty())
            return name;
    }
    struct utsname system;
    if (uname(&system) == 0)
        return system.machine;
    return "";
}

uint32_t queryProcessorClock() {
    // The highest rate the frequency driver allows is the processor's rated
    // clock; without a driver the kernel's own figure (fixed on virtual
    // machines) is the best there is.
    std::string maximum = readWhole("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq");
    if (uint32_t kilohertz = static_cast<uint32_t>(std::strtoul(maximum.c_str(), nullptr, 10)))
        return kilohertz / 10;
    return hundredthsFromMhzText(cpuinfoValue(readWhole("/proc/cpuinfo"), "cpu MHz"));
}
