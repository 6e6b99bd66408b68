// A small program on the Windows console backend for the end-to-end tests
// of the console itself: a title row, colours, code page 437 glyphs, the code
// of the last key and the codes of the last eight. Esc twice ends it with
// "bye" on standard output.
//
//   console_probe [utf8]
//
// With "utf8" it first asks for UTF-8 output as the modes for scripts do and
// installs the interrupt handlers, which give the console and its code page
// back.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "console/backend.h"
#include "console/keyboard.h"
#include "console/screen.h"
#include "platform/signals.h"
#include "platform/standard_streams.h"
#include "platform/windows/windows_console.h"

int main(int argc, char** argv) {
    // Line ends as the program writes them, like dirrip.exe's output.
    _setmode(_fileno(stdout), _O_BINARY);
    const bool utf8 = argc > 1 && std::strcmp(argv[1], "utf8") == 0;
    if (utf8)
        useUtf8Output();
    ConsoleBackend* console = windowsConsoleOpen();
    if (console == nullptr) {
        std::fprintf(stderr, "console_probe: no console\n");
        return 1;
    }
    if (utf8) {
        setInterruptRestore(windowsConsoleCloseForExit);
        installInterruptHandlers();
    }
    setConsoleBackend(console);
    setConsoleTitle("[PROBE]-\x81");
    screenSave();
    cursorShape(CURSOR_HIDDEN);
    char lastKey[40] = "last key: none";
    std::string recent = "keys:";
    bool escapeOnce = false;
    for (;;) {
        screenClear();
        putText(0, 0, ATTR_TITLE, " console probe \xC9\xCD\xBB", 80);
        putMarkup(1, 0, 0x87, "plain ~bright~ plain", 80);
        putText(2, 0, 0x1B, lastKey, 80);
        putText(3, 0, 0x1B, recent.c_str(), 80);
        screenFlush();
        KeyCode key = readKey();
        if (key == KEY_NONE)
            break;
        std::snprintf(lastKey, sizeof lastKey, "last key: %03X", unsigned(key));
        recent += lastKey + 9;
        if (recent.size() > 5 + 8 * 4)
            recent.erase(5, 4);
        if (key == KEY_ESC && escapeOnce)
            break;
        escapeOnce = key == KEY_ESC;
    }
    screenRestore();
    setConsoleBackend(nullptr);
    std::printf("bye\n");
    return 0;
}
