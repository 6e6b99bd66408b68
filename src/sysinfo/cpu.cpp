// The processor line: what the processor says of itself through CPUID, its
// clock timed against the monotonic clock, and what the system reports
// where the processor says nothing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "sysinfo/sysinfo.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <x86intrin.h>
#define DIRRIP_X86 1
#endif

const char* const CPU_MODEL_NAMES[6] = {"i386SX", "i386DX",  "i486SX",
                                        "i486DX", "Pentium", "PentiumPro"};

namespace {

// Each timing window is long enough that reading the two clocks costs well
// under a thousandth of it, and short enough not to delay the info box.
constexpr auto TIMING_WINDOW = std::chrono::milliseconds(10);
constexpr int TIMING_RUNS = 3;

#if DIRRIP_X86
bool hasCpuid() {
#if defined(__i386__)
    return __get_cpuid_max(0, nullptr) != 0;
#else
    return true;
#endif
}

bool hasCycleCounter() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    return hasCpuid() && __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (edx & 0x10) != 0;
}

// The cycle counter's rate in hundredths of a MHz over one window. The
// program may be descheduled inside the window: both clocks go on, so the
// ratio stays right.
uint32_t cycleCounterRate() {
    using Clock = std::chrono::steady_clock;
    auto start = Clock::now();
    uint64_t firstCycle = __rdtsc();
    auto now = start;
    while (now - start < TIMING_WINDOW) now = Clock::now();
    uint64_t lastCycle = __rdtsc();
    auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(now - start).count();
    if (nanoseconds <= 0 || lastCycle <= firstCycle)
        return 0;
    return static_cast<uint32_t>((lastCycle - firstCycle) * 100000 /
                                 static_cast<uint64_t>(nanoseconds));
}
#endif

std::string collapseSpaces(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == ' ' && (out.empty() || out.back() == ' '))
            continue;
        out += c;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

void removeAll(std::string& text, const char* part) {
    size_t length = std::strlen(part);
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at))
        text.erase(at, length);
}

// A brand or reported name without its marks and its nominal rate (the
// measured one follows it).
std::string tidyName(std::string name) {
    size_t at = name.find(" @ ");
    if (at != std::string::npos)
        name.erase(at);
    for (const char* noise : {"(R)", "(TM)", "(tm)", " CPU", " Processor"}) removeAll(name, noise);
    name = collapseSpaces(name);
    if (!name.empty() && name[0] == ' ')
        name.erase(0, 1);
    return name;
}

}  // namespace

int cpuModelIndex() {
#if DIRRIP_X86
    if (!hasCpuid()) {
        // Without CPUID the remaining tests need control register 0 and the
        // host idle call, which user programs cannot reach: take the more
        // capable model of each generation.
#if defined(__i386__)
        uint32_t before, after;
        __asm__ volatile(
            "pushfl\n\tpopl %0\n\tmovl %0, %1\n\txorl $0x40000, %1\n\t"
            "pushl %1\n\tpopfl\n\tpushfl\n\tpopl %1\n\tpushl %0\n\tpopfl"
            : "=&r"(before), "=&r"(after));
        return ((before ^ after) & 0x40000) ? 3 : 1;
#else
        return 3;
#endif
    }
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx))
        return -1;
    int family = (eax >> 8) & 0x0F;
    if (family == 4)
        return 3;
    return family - 1;
#else
    return -1;
#endif
}

uint32_t cpuClockMeasure() {
#if DIRRIP_X86
    if (hasCycleCounter()) {
        // The middle of a few runs: one disturbed run (a clock read delayed
        // by the scheduler) cannot move the figure.
        uint32_t rates[TIMING_RUNS];
        for (uint32_t& rate : rates) rate = cycleCounterRate();
        std::sort(rates, rates + TIMING_RUNS);
        if (rates[TIMING_RUNS / 2] != 0)
            return rates[TIMING_RUNS / 2];
    }
#endif
    return queryProcessorClock();
}

uint32_t cpuIdentify() {
    return static_cast<uint32_t>(cpuModelIndex()) * 65536u + (cpuClockMeasure() % 65536u);
}

int cpuHasMmx() {
#if DIRRIP_X86
    if (!hasCpuid())
        return 0;
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx))
        return 0;
    return (edx & 0x800000) ? 1 : 0;
#else
    return 0;
#endif
}

std::string cpuBrandString() {
#if DIRRIP_X86
    if (!hasCpuid())
        return "";
    if (static_cast<unsigned>(__get_cpuid_max(0x80000000, nullptr)) < 0x80000004u)
        return "";
    char brand[49] = {};
    for (unsigned leaf = 0; leaf < 3; ++leaf) {
        unsigned regs[4] = {};
        __get_cpuid(0x80000002 + leaf, &regs[0], &regs[1], &regs[2], &regs[3]);
        std::memcpy(brand + leaf * 16, regs, 16);
    }
    return collapseSpaces(brand);
#else
    return "";
#endif
}

std::string cpuLine(const std::string& brand, int modelIndex, bool hasMmx,
                    const std::string& reportedName, uint32_t clock, size_t width) {
    // The brand string names every processor that has one; the model table
    // only knows the generations before it, and would call any later
    // family-6 processor a PentiumPro.
    std::string name = tidyName(brand);
    std::string rest;
    if (name.empty() && modelIndex >= 0 && modelIndex <= 5) {
        name = CPU_MODEL_NAMES[modelIndex];
        if (modelIndex > 3 && hasMmx)
            rest = " MMX";
    }
    if (name.empty())
        name = tidyName(reportedName);
    if (name.empty())
        name = "Unknown processor";
    if (clock != 0)
        rest += " at " + std::to_string(clock / 100) + " MHz";
    if (name.size() + rest.size() > width) {
        size_t room = width > rest.size() ? width - rest.size() : 0;
        name.resize(std::min(name.size(), room));
        while (!name.empty() && name.back() == ' ') name.pop_back();
    }
    std::string line = name + rest;
    if (line.size() > width)
        line.resize(width);
    return line;
}

char* cpuText() {
    constexpr size_t TEXT_SIZE = 100;
    // The info box shows the line between its side frames, 38 cells.
    constexpr size_t LINE_WIDTH = 38;
    int index = cpuModelIndex();
    uint32_t clock = cpuClockMeasure();
    std::string brand = cpuBrandString();
    bool named = index >= 0 && index <= 5;
    bool mmx = brand.empty() && named && index > 3 && cpuHasMmx() == 1;
    std::string reported = brand.empty() && !named ? queryProcessorName() : "";
    std::string line = cpuLine(brand, index, mmx, reported, clock, LINE_WIDTH);
    char* text = new char[TEXT_SIZE]();
    std::snprintf(text, TEXT_SIZE, "%s", line.c_str());
    return text;
}
