// Interrupt handling on Windows. The console calls the control handler on a
// thread of its own for Ctrl-C, Ctrl-Break and closing the window (and, in a
// service, at shutdown); the main thread goes on meanwhile, so the slots, the
// console and its code page are each handed over under a lock, which the
// handler keeps until it has ended the whole process itself.
#include "platform/signals.h"

#include <windows.h>

#include <atomic>
#include <string>

#include "platform/windows/code_page.h"
#include "platform/windows/directory_paths.h"

namespace {

constexpr int SLOT_COUNT = 64;
// The status a console program ends with when Ctrl-C or closing ends it.
constexpr UINT INTERRUPTED_STATUS = 0xC000013A;

// The full paths of the pending files; an empty path is a free slot.
std::wstring slots[SLOT_COUNT];
SRWLOCK slotLock = SRWLOCK_INIT;
std::atomic<void (*)()> restoreAction{nullptr};
std::atomic<bool> installed{false};

BOOL WINAPI onControl(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            break;
        case CTRL_LOGOFF_EVENT:
            // Reaches only services, when any user logs off, and says nothing
            // of this run: a scheduled extraction goes on. Handled, so that
            // the default handler does not end the process.
            return TRUE;
        default:
            return FALSE;
    }
    // The lock stays taken: no file is registered or renamed into place
    // between the removal and the end of the process.
    AcquireSRWLockExclusive(&slotLock);
    for (std::wstring& path : slots)
        if (!path.empty())
            DeleteFileW(path.c_str());
    void (*restore)() = restoreAction.exchange(nullptr);
    if (restore != nullptr)
        restore();
    restoreCodePageForExit();
    ExitProcess(INTERRUPTED_STATUS);
}

}  // namespace

void installInterruptHandlers() {
    if (installed.exchange(true))
        return;
    SetConsoleCtrlHandler(onControl, TRUE);
}

int addPendingRemoval(intptr_t directoryHandle, const char* name) {
    if (name == nullptr || directoryHandle == NO_OUTPUT_DIRECTORY)
        return -1;
    std::wstring path = outputChildPath(directoryHandle, name);
    if (path.empty())
        return -1;
    AcquireSRWLockExclusive(&slotLock);
    int found = -1;
    for (int i = 0; i < SLOT_COUNT && found < 0; ++i) {
        if (slots[i].empty()) {
            slots[i] = std::move(path);
            found = i;
        }
    }
    ReleaseSRWLockExclusive(&slotLock);
    return found;
}

void clearPendingRemoval(int slot) {
    if (slot < 0 || slot >= SLOT_COUNT)
        return;
    AcquireSRWLockExclusive(&slotLock);
    slots[slot].clear();
    ReleaseSRWLockExclusive(&slotLock);
}

void setInterruptRestore(void (*restore)()) {
    restoreAction.store(restore);
}
