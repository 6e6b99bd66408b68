// A small program on the Windows console backend for the end-to-end tests
// of the console itself: a title row, colours, code page 437 glyphs and the
// code of the last key. Esc twice ends it with "bye" on standard output.
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "console/backend.h"
#include "console/keyboard.h"
#include "console/screen.h"
#include "platform/windows/windows_console.h"

int main() {
    // Line ends as the program writes them, like dirrip.exe's output.
    _setmode(_fileno(stdout), _O_BINARY);
    ConsoleBackend* console = windowsConsoleOpen();
    if (console == nullptr) {
        std::fprintf(stderr, "console_probe: no console\n");
        return 1;
    }
    setConsoleBackend(console);
    setConsoleTitle("[PROBE]-\x81");
    screenSave();
    cursorShape(CURSOR_HIDDEN);
    char lastKey[40] = "last key: none";
    bool escapeOnce = false;
    for (;;) {
        screenClear();
        putText(0, 0, ATTR_TITLE, " console probe \xC9\xCD\xBB", 80);
        putMarkup(1, 0, 0x87, "plain ~bright~ plain", 80);
        putText(2, 0, 0x1B, lastKey, 80);
        screenFlush();
        KeyCode key = readKey();
        if (key == KEY_NONE)
            break;
        std::snprintf(lastKey, sizeof lastKey, "last key: %03X", unsigned(key));
        if (key == KEY_ESC && escapeOnce)
            break;
        escapeOnce = key == KEY_ESC;
    }
    screenRestore();
    setConsoleBackend(nullptr);
    std::printf("bye\n");
    return 0;
}
