#include "platform/standard_streams.h"

#include <unistd.h>

bool standardErrorIsTerminal() {
    return isatty(STDERR_FILENO) != 0;
}

void useUtf8Output() {
    // A terminal shows what the locale says; the program writes in its encoding.
}
