#include "version.h"

#include <string>

const char* versionString() {
    static const std::string text = std::to_string(VERSION_MAJOR) + "." +
                                    (VERSION_MINOR < 10 ? "0" : "") + std::to_string(VERSION_MINOR);
    return text.c_str();
}
