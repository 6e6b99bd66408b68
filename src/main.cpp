// Program entry: the command-line modes when the first argument is an option,
// the full-screen browser otherwise.
#include <iostream>

#include "browser/startup.h"
#include "cli/command_line.h"
#include "platform/signals.h"

int main(int argc, char** argv) {
    // Before anything is written or the terminal is taken: an interrupt then
    // removes unfinished output files and gives the terminal back.
    installInterruptHandlers();
    if (isCommandLineMode(argc, argv))
        return runCommandLine(argc, argv, std::cout, std::cerr);
    return browserMain(argc, argv);
}
