// The program's terminal on Windows is its console window.
#include "platform/terminal.h"

#include <windows.h>

#include "console/backend.h"
#include "platform/signals.h"
#include "platform/windows/windows_console.h"

namespace {

bool isConsole(DWORD standardHandle) {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(standardHandle), &mode) != 0;
}

}  // namespace

bool terminalOpen() {
    // As on other systems, a program whose input or output is redirected
    // leaves the console alone.
    if (!isConsole(STD_INPUT_HANDLE) || !isConsole(STD_OUTPUT_HANDLE))
        return false;
    ConsoleBackend* backend = windowsConsoleOpen();
    if (backend == nullptr)
        return false;
    setConsoleBackend(backend);
    // Ctrl-Break and closing the window give the console back too.
    setInterruptRestore(windowsConsoleCloseForExit);
    installInterruptHandlers();
    return true;
}

// The console window can always show the screen.
const char* terminalRefusal() {
    return nullptr;
}

void terminalClose() {
    setInterruptRestore(nullptr);
    windowsConsoleClose();
    setConsoleBackend(nullptr);
}

void terminalDiscardInput() {
    windowsConsoleDiscardInput();
}
