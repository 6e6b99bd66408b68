// The program's entry on Windows: the command line arrives in UTF-16 and is
// handed on in UTF-8, the text the rest of the program keeps its paths in, so
// that names outside the ANSI code page survive. Standard output and error
// carry the same bytes as on other systems (no "\r\n" for "\n"); the modes
// that write text have the console show them as UTF-8 (useUtf8Output).
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/windows/wide_text.h"

// The portable entry (main.cpp, renamed for this build).
int dirripMain(int argc, char** argv);

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) arguments.push_back(wideToUtf8(argv[i]));
    std::vector<char*> pointers;
    for (std::string& argument : arguments) pointers.push_back(argument.data());
    pointers.push_back(nullptr);

    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    return dirripMain(argc, pointers.data());
}
