// The program's terminal on Windows is its console window.
#include "platform/terminal.h"

#include "console/backend.h"
#include "platform/signals.h"
#include "platform/windows/windows_console.h"

bool terminalOpen() {
    ConsoleBackend* backend = windowsConsoleOpen();
    if (backend == nullptr)
        return false;
    setConsoleBackend(backend);
    // Ctrl-Break and closing the window give the console back too.
    setInterruptRestore(windowsConsoleClose);
    installInterruptHandlers();
    return true;
}

void terminalClose() {
    setInterruptRestore(nullptr);
    windowsConsoleClose();
    setConsoleBackend(nullptr);
}

void terminalDiscardInput() {
    windowsConsoleDiscardInput();
}
