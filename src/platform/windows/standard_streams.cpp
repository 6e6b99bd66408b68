#include "platform/standard_streams.h"

#include <windows.h>

#include <cstdlib>

#include "platform/windows/code_page.h"

namespace {

// The user's output code page while the program's is set, else 0. The
// control handler reads it on a thread of its own, hence the lock.
UINT savedCodePage = 0;
bool restoreAtExit = false;
SRWLOCK codePageLock = SRWLOCK_INIT;

bool isConsole(DWORD standardHandle) {
    // Only a console has a console mode; the C runtime's own test also calls
    // the NUL device a terminal.
    DWORD mode = 0;
    HANDLE handle = GetStdHandle(standardHandle);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

void restoreLocked() {
    if (savedCodePage != 0)
        SetConsoleOutputCP(savedCodePage);
    savedCodePage = 0;
}

void restoreCodePage() {
    AcquireSRWLockExclusive(&codePageLock);
    restoreLocked();
    ReleaseSRWLockExclusive(&codePageLock);
}

}  // namespace

bool standardErrorIsTerminal() {
    return isConsole(STD_ERROR_HANDLE);
}

void useUtf8Output() {
    // Text going to files and pipes is bytes the reader decodes; only a
    // console decodes it with its code page.
    if (!isConsole(STD_OUTPUT_HANDLE) && !isConsole(STD_ERROR_HANDLE))
        return;
    AcquireSRWLockExclusive(&codePageLock);
    UINT current = GetConsoleOutputCP();
    if (savedCodePage == 0 && current != 0 && current != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
        savedCodePage = current;
        if (!restoreAtExit)
            restoreAtExit = std::atexit(restoreCodePage) == 0;
    }
    ReleaseSRWLockExclusive(&codePageLock);
}

void restoreCodePageForExit() {
    // Never let go: the process ends right after.
    AcquireSRWLockExclusive(&codePageLock);
    restoreLocked();
}

unsigned userCodePage() {
    AcquireSRWLockShared(&codePageLock);
    UINT codePage = savedCodePage != 0 ? savedCodePage : GetConsoleOutputCP();
    ReleaseSRWLockShared(&codePageLock);
    return codePage;
}
