#include "text/counted.h"

#include <cinttypes>
#include <cstdio>

std::string counted(uint64_t count, const char* singular, const char* plural) {
    return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

std::string hexOffset(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%08" PRIx64, value);
    return text;
}
