// The one active console backend of the process.
#include "console/backend.h"

namespace {
ConsoleBackend* activeBackend = nullptr;
}

void setConsoleBackend(ConsoleBackend* backend) {
    activeBackend = backend;
}

ConsoleBackend* consoleBackend() {
    return activeBackend;
}

void setConsoleTitle(const char* title) {
    if (activeBackend != nullptr)
        activeBackend->setTitle(title);
}
