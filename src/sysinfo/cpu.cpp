#include <sys/utsname.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "sysinfo/sysinfo.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define DIRRIP_X86 1
#endif

const char* const CPU_MODEL_NAMES[6] = {"i386SX", "i386DX",  "i486SX",
                                        "i486DX", "Pentium", "PentiumPro"};

namespace {

constexpr uint64_t TIMER_HZ = 1193182;
constexpr uint32_t CLOCK_CONSTANT_386 = 38181830;
constexpr uint32_t CLOCK_CONSTANT_LATER = 39648108;
constexpr int TIMING_PASSES = 200;
// Each run is repeated and its shortest time kept: a time-shared host may
// interrupt any single run, which only ever makes it longer.
constexpr int TIMING_REPEATS = 5;

#if DIRRIP_X86
bool hasCpuid() {
#if defined(__i386__)
    return __get_cpuid_max(0, nullptr) != 0;
#else
    return true;
#endif
}
#endif

#if DIRRIP_X86
#define DIV1 "movw $0x7AAA, %%ax\n\tdivw %%cx\n\t"
#define DIV2 DIV1 DIV1
#define DIV8 DIV2 DIV2 DIV2 DIV2
#define DIV32 DIV8 DIV8 DIV8 DIV8
#define DIV66 DIV32 DIV32 DIV2

// 200 passes of 66 unrolled 16-bit divisions, each dividing the previous
// remainder * 65536 + 0x7AAA by 0x5555.
void longRun() {
    int passes = TIMING_PASSES;
    __asm__ volatile(
        "xorw %%dx, %%dx\n\t"
        "movw $0x5555, %%cx\n\t"
        "1:\n\t" DIV66
        "decl %0\n\t"
        "jnz 1b\n\t"
        : "+r"(passes)
        :
        : "eax", "ecx", "edx", "cc");
}

// 200 passes of 2 divisions: the loop overhead that the long run also pays.
void shortRun() {
    int passes = TIMING_PASSES;
    __asm__ volatile(
        "xorw %%dx, %%dx\n\t"
        "movw $0x5555, %%cx\n\t"
        "1:\n\t" DIV2
        "decl %0\n\t"
        "jnz 1b\n\t"
        : "+r"(passes)
        :
        : "eax", "ecx", "edx", "cc");
}
#else
volatile uint32_t divisionSink;

template <int Divisions>
void divisionRun() {
    uint32_t remainder = 0;
    for (int pass = 0; pass < TIMING_PASSES; ++pass) {
        for (int i = 0; i < Divisions; ++i) {
            volatile uint32_t dividend = (remainder << 16) + 0x7AAA;
            remainder = dividend % 0x5555;
        }
    }
    divisionSink = remainder;
}
void longRun() {
    divisionRun<66>();
}
void shortRun() {
    divisionRun<2>();
}
#endif

// The run's elapsed time in ticks of the PC interval timer.
uint32_t timedTicks(void (*run)()) {
    uint64_t best = UINT64_MAX;
    for (int repeat = 0; repeat < TIMING_REPEATS; ++repeat) {
        auto start = std::chrono::steady_clock::now();
        run();
        auto end = std::chrono::steady_clock::now();
        auto nanoseconds =
            std::chrono::duration_cast<std::chrono::nanoseconds>(end - start).count();
        best = std::min<uint64_t>(best, static_cast<uint64_t>(nanoseconds));
    }
    return static_cast<uint32_t>(best * TIMER_HZ / 1000000000ULL);
}

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

uint32_t clockFromTicks(uint32_t ticksA, uint32_t ticksB, int modelIndex) {
    uint32_t difference = ticksA - ticksB;
    if (difference == 0)
        return 0;
    uint32_t constant =
        (modelIndex == 0 || modelIndex == 1) ? CLOCK_CONSTANT_386 : CLOCK_CONSTANT_LATER;
    return constant / difference + 20;
}

uint32_t cpuClockMeasure(int modelIndex) {
    uint32_t ticksA = timedTicks(longRun);
    uint32_t ticksB = timedTicks(shortRun);
    return clockFromTicks(ticksA, ticksB, modelIndex);
}

uint32_t cpuIdentify() {
    int index = cpuModelIndex();
    uint32_t clock = cpuClockMeasure(index);
    return static_cast<uint32_t>(index) * 65536u + (clock % 65536u);
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

std::string cpuReportedName() {
    std::ifstream file("/proc/cpuinfo");
    std::string line;
    while (std::getline(file, line)) {
        if (line.rfind("model name", 0) != 0)
            continue;
        size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::string name = collapseSpaces(line.substr(colon + 1));
        if (!name.empty() && name[0] == ' ')
            name.erase(0, 1);
        if (!name.empty())
            return name;
    }
    struct utsname system;
    if (uname(&system) == 0)
        return system.machine;
    return "";
}

std::string cpuLine(int modelIndex, bool hasMmx, uint32_t clock, const std::string& otherName,
                    size_t width) {
    bool named = modelIndex >= 0 && modelIndex <= 5;
    std::string name = named ? CPU_MODEL_NAMES[modelIndex] : otherName;
    if (!named) {
        // Brand strings carry marks and words the line has no room for; the
        // nominal rate after an '@' gives way to the measured one.
        size_t at = name.find(" @ ");
        if (at != std::string::npos)
            name.erase(at);
        for (const char* noise : {"(R)", "(TM)", "(tm)", " CPU", " Processor"})
            removeAll(name, noise);
        name = collapseSpaces(name);
        if (!name.empty() && name[0] == ' ')
            name.erase(0, 1);
        if (name.empty())
            name = "Unknown processor";
    }
    std::string rest;
    if (named && modelIndex > 3 && hasMmx)
        rest = " MMX";
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
    uint32_t clock = cpuClockMeasure(index);
    bool named = index >= 0 && index <= 5;
    bool mmx = named && index > 3 && cpuHasMmx() == 1;
    std::string other;
    if (!named) {
        other = cpuBrandString();
        if (other.empty())
            other = cpuReportedName();
    }
    std::string line = cpuLine(index, mmx, clock, other, LINE_WIDTH);
    char* text = new char[TEXT_SIZE]();
    std::snprintf(text, TEXT_SIZE, "%s", line.c_str());
    return text;
}
