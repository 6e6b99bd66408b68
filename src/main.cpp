// Program entry: the command-line modes when the first argument is an option,
// the full-screen browser otherwise.
#include <iostream>

#include "browser/startup.h"
#include "cli/command_line.h"

int main(int argc, char** argv) {
    if (isCommandLineMode(argc, argv))
        return runCommandLine(argc, argv, std::cout, std::cerr);
    return browserMain(argc, argv);
}
