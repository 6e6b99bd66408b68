// The keyboard reader: whatever console is active delivers the keys.
#include "console/keyboard.h"

#include "console/backend.h"

KeyCode readKey() {
    // Without a console no key can ever arrive; callers treat this as the end of input.
    ConsoleBackend* backend = consoleBackend();
    return backend ? backend->readKey() : KEY_NONE;
}

KeyCode pollKey() {
    ConsoleBackend* backend = consoleBackend();
    return backend ? backend->pollKey() : KEY_NONE;
}
