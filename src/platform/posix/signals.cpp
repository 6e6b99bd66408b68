// Interrupt handling on POSIX. The handler may run at any instruction of the
// main program, so it only reads slots that are complete (published with an
// atomic store after the name is copied) and calls async-signal-safe
// functions: unlinkat, the restore action, sigaction, sigprocmask, raise.
#include "platform/signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace {

// A run keeps one temporary file per output being written; a few dozen slots
// leave room for the list and the archive being created at the same time.
constexpr int SLOT_COUNT = 64;
// A single file name in a directory; longer names cannot exist on the disk.
constexpr size_t NAME_BYTES = 256;

enum SlotState : int { SLOT_FREE = 0, SLOT_FILLING = 1, SLOT_READY = 2 };

struct PendingRemoval {
    std::atomic<int> state{SLOT_FREE};
    int directory = -1;
    char name[NAME_BYTES] = {};
};

PendingRemoval slots[SLOT_COUNT];
std::atomic<void (*)()> restoreAction{nullptr};
std::atomic<bool> installed{false};

// SIGINT, SIGTERM and SIGHUP are the interrupts; the others end the program
// abnormally and get the same care, so no crash leaves the terminal raw or a
// half-written file behind.
constexpr int HANDLED_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGSEGV,
                                   SIGBUS, SIGFPE,  SIGILL, SIGABRT};

static_assert(std::atomic<int>::is_always_lock_free, "slot states must be safe in a handler");
static_assert(std::atomic<void (*)()>::is_always_lock_free, "the restore action must be safe in a handler");

void onInterrupt(int signalNumber) {
    int savedErrno = errno;
    for (PendingRemoval& slot : slots) {
        if (slot.state.load(std::memory_order_acquire) == SLOT_READY)
            unlinkat(slot.directory, slot.name, 0);
    }
    void (*restore)() = restoreAction.exchange(nullptr);
    if (restore != nullptr)
        restore();
    errno = savedErrno;

    // End the way the signal would have ended the program (status, core dump).
    struct sigaction fallback;
    std::memset(&fallback, 0, sizeof fallback);
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signalNumber, &fallback, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signalNumber);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    raise(signalNumber);
}

}  // namespace

void installInterruptHandlers() {
    if (installed.exchange(true))
        return;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onInterrupt;
    // A second interrupt while the first is being handled waits for it, so
    // the files are removed and the terminal restored exactly once.
    sigemptyset(&action.sa_mask);
    for (int signalNumber : HANDLED_SIGNALS) sigaddset(&action.sa_mask, signalNumber);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : HANDLED_SIGNALS) {
        struct sigaction previous;
        sigaction(signalNumber, nullptr, &previous);
        // A hang-up or interrupt the caller chose to ignore (nohup, a
        // background job) stays ignored.
        if (previous.sa_handler == SIG_IGN &&
            (signalNumber == SIGHUP || signalNumber == SIGINT || signalNumber == SIGQUIT))
            continue;
        sigaction(signalNumber, &action, nullptr);
    }
}

int addPendingRemoval(intptr_t directoryHandle, const char* name) {
    if (name == nullptr || directoryHandle < 0)
        return -1;
    size_t length = std::strlen(name);
    if (length == 0 || length >= NAME_BYTES)
        return -1;
    for (int i = 0; i < SLOT_COUNT; ++i) {
        int expected = SLOT_FREE;
        if (!slots[i].state.compare_exchange_strong(expected, SLOT_FILLING))
            continue;
        slots[i].directory = static_cast<int>(directoryHandle);
        std::memcpy(slots[i].name, name, length + 1);
        slots[i].state.store(SLOT_READY, std::memory_order_release);
        return i;
    }
    return -1;
}

void clearPendingRemoval(int slot) {
    if (slot < 0 || slot >= SLOT_COUNT)
        return;
    slots[slot].state.store(SLOT_FREE, std::memory_order_release);
}

void setInterruptRestore(void (*restore)()) { restoreAction.store(restore); }
