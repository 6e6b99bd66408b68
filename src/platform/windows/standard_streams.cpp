#include "platform/standard_streams.h"

#include <windows.h>

bool standardErrorIsTerminal() {
    // Only a console has a console mode; the C runtime's own test also calls
    // the NUL device a terminal.
    DWORD mode = 0;
    HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}
