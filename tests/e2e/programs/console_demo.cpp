// A small program built from the console pieces, for the end-to-end tests:
// every colour, the code page 437 glyphs, a framed window with its shadow and
// the mask dialog. It shows the code of each key pressed.
//
// Keys: F2 opens the mask dialog, Q ends, E exits without restoring the screen
// itself, X raises a segmentation fault, anything else is shown.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "console/backend.h"
#include "text/cp437.h"
#include "console/keyboard.h"
#include "console/screen.h"
#include "platform/terminal.h"
#include "console/window.h"

namespace {

char maskBuffer[14] = "*.*";
InputLine mask;
char status[81] = "";
char lastKey[81] = "last key: none";

void drawColourTable() {
    static const char HEX[] = "0123456789ABCDEF";
    for (int background = 0; background < 16; ++background) {
        for (int foreground = 0; foreground < 16; ++foreground) {
            char text[4] = {HEX[background], HEX[foreground], ' ', 0};
            auto attribute = static_cast<uint8_t>(background * 16 + foreground);
            putText(2 + background, foreground * 3, attribute, text, 3);
        }
    }
}

void drawGlyphWindow() {
    drawWindow("glyphs", 50, 2, 28, 8, ATTR_PANEL);
    char line[27];
    for (int i = 0; i < 24; ++i) line[i] = static_cast<char>(1 + i);  // 0x01-0x18
    line[24] = 0;
    putText(3, 52, ATTR_PANEL, line, 24);
    constexpr Cp437Text more{"↓→←∟↔▲▼⌂ ÇüéßΣ±≥½"};
    putText(4, 52, ATTR_PANEL, more, 24);
    // Bytes that are escape and control characters elsewhere: shown as glyphs.
    putText(5, 52, ATTR_PANEL, "esc:\x1b[2J c1:\x9b\x85\x90", 24);
    putMarkup(6, 52, ATTR_PANEL, "plain ~bright~ plain", 24);
    putShadow(2, 50, 9, 78);
}

void drawAll() {
    screenClear();
    char title[81];
    std::snprintf(title, sizeof title, " console demo (pid %d)", static_cast<int>(getpid()));
    putText(0, 0, ATTR_TITLE, title, 80);
    drawColourTable();
    drawGlyphWindow();
    putText(20, 0, ATTR_FIELD, status, 80);
    putText(22, 0, ATTR_PANEL_HIGHLIGHT, lastKey, 80);
    putMarkup(24, 0, ATTR_BOX, " ~F2~: mask, ~Q~: quit, ~E~: exit, ~X~: crash", 80);
}

}  // namespace

int main() {
    if (!terminalOpen()) {
        std::fprintf(stderr, "console_demo: standard input and output must be a terminal\n");
        return 1;
    }
    mask.maximum = 13;
    mask.columnOffset = 2;
    mask.rowOffset = 1;
    mask.promptAttribute = ATTR_BOX;
    mask.textAttribute = ATTR_FIELD;
    mask.prompt = "Mask";
    mask.buffer = maskBuffer;

    screenSave();
    cursorShape(CURSOR_HIDDEN);
    setConsoleTitle("[DEMO]-console demo");
    for (;;) {
        drawAll();
        screenFlush();
        KeyCode key = readKey();
        if (key == KEY_NONE || key == 'Q')
            break;
        if (key == 'E')
            std::exit(2);
        if (key == 'X')
            raise(SIGSEGV);
        if (key == KEY_F2) {
            int accepted = inputDialog(28, 11, 23, 3, ATTR_BOX, &mask, "select files");
            std::snprintf(status, sizeof status, "mask: %s result %d", maskBuffer, accepted);
            continue;
        }
        std::snprintf(lastKey, sizeof lastKey, "last key: 0x%03X", key);
    }
    screenRestore();
    terminalClose();
    std::printf("\ndemo ended\n");
    return 0;
}
