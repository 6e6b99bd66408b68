// Program entry: the command-line modes when the first argument is an option,
// the full-screen browser otherwise.
#include <iostream>

#include "browser/startup.h"
#include "cli/command_line.h"
#include "platform/signals.h"
#include "platform/standard_streams.h"

int main(int argc, char** argv) {
    // Before anything is written or the terminal is taken: an interrupt then
    // removes unfinished output files and gives the terminal back.
    installInterruptHandlers();
    if (!isCommandLineMode(argc, argv))
        return browserMain(argc, argv);
    // The modes for scripts write UTF-8 text; the browser draws through the
    // console and leaves its code page alone.
    useUtf8Output();
    CommandLine line = parseCommandLine(argc, argv);
    const int status = runCommandLine(line, std::cout, std::cerr);
    if (status != COMMAND_LINE_BROWSER)
        return status;
    // "dirrip -- -odd.dir": the browser gets the archive after "--" as its one argument.
    char* browserArguments[] = {argv[0], line.archive.data(), nullptr};
    return browserMain(line.archive.empty() ? 1 : 2, browserArguments);
}
