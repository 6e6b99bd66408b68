#include "platform/standard_streams.h"

#include <unistd.h>

bool standardErrorIsTerminal() {
    return isatty(STDERR_FILENO) != 0;
}
