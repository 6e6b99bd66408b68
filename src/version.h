// The program's version, shown in the title bar, the info box and --version.
#pragma once

constexpr int VERSION_MAJOR = 1;
constexpr int VERSION_MINOR = 52;

// "1.52"
const char* versionString();
