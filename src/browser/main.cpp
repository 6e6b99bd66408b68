// Program entry.
#include "browser/startup.h"

int main(int argc, char** argv) {
    return browserMain(argc, argv);
}
