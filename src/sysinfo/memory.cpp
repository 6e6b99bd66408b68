#include <fstream>
#include <sstream>

#include "sysinfo/sysinfo.h"

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

uint64_t availableMemory() {
    std::ifstream file("/proc/meminfo");
    if (!file)
        return 0;
    std::ostringstream text;
    text << file.rdbuf();
    return availableFromMeminfo(text.str());
}
