#include "version.h"

const char* versionString() {
    return "1.52";
}
