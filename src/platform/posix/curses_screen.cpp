// Drawing the grid through ncursesw. curses does the work of sending only the
// cells that changed and of knowing each terminal's sequences.
#include "platform/posix/curses_screen.h"

#include <curses.h>
#include <sys/ioctl.h>
#include <term.h>
#include <unistd.h>
#include <wchar.h>

#include <cstdio>
#include <cstdlib>

#include "platform/posix/write_all.h"
#include "text/cp437.h"
#include "text/escape.h"

namespace {

enum ColourMode { COLOURS_NONE, COLOURS_8, COLOURS_16 };

struct CursesState {
    SCREEN* terminal = nullptr;
    bool utf8 = true;
    bool left = false;
    bool repaint = false;
    ColourMode colours = COLOURS_NONE;
    wchar_t wideGlyphs[256];
    chtype narrowGlyphs[256];
    int cursorPercent = -1;
};

CursesState state;

// The console's colour numbers (bit 0 blue, bit 1 green, bit 2 red) in curses order.
constexpr short CURSES_COLOUR[8] = {COLOR_BLACK, COLOR_BLUE,    COLOR_GREEN,  COLOR_CYAN,
                                    COLOR_RED,   COLOR_MAGENTA, COLOR_YELLOW, COLOR_WHITE};

// ASCII stand-ins for the letters 0x80-0xAF where the terminal cannot show them.
constexpr char LATIN_FALLBACK[] =
    "CueaaaaceeeiiiAAEaAooouuyOUcLYPfaiounNao?--?"
    "?!<>";

chtype lineDrawing(unsigned char c) {
    switch (c) {
        case 0xB3:
        case 0xBA:
            return ACS_VLINE;
        case 0xC4:
        case 0xCD:
            return ACS_HLINE;
        case 0xB4:
        case 0xB5:
        case 0xB6:
        case 0xB9:
            return ACS_RTEE;
        case 0xC3:
        case 0xC6:
        case 0xC7:
        case 0xCC:
            return ACS_LTEE;
        case 0xC1:
        case 0xCA:
        case 0xCF:
        case 0xD0:
            return ACS_BTEE;
        case 0xC2:
        case 0xCB:
        case 0xD1:
        case 0xD2:
            return ACS_TTEE;
        case 0xC5:
        case 0xCE:
        case 0xD7:
        case 0xD8:
            return ACS_PLUS;
        case 0xB7:
        case 0xB8:
        case 0xBB:
        case 0xBF:
            return ACS_URCORNER;
        case 0xBC:
        case 0xBD:
        case 0xBE:
        case 0xD9:
            return ACS_LRCORNER;
        case 0xC0:
        case 0xC8:
        case 0xD3:
        case 0xD4:
            return ACS_LLCORNER;
        case 0xC9:
        case 0xD5:
        case 0xD6:
        case 0xDA:
            return ACS_ULCORNER;
        case 0xB0:
        case 0xB1:
        case 0xB2:
            return ACS_CKBOARD;
        case 0xDB:
        case 0xDC:
        case 0xDD:
        case 0xDE:
        case 0xDF:
        case 0xFE:
            return ACS_BLOCK;
        case 0x10:
        case 0x1A:
            return ACS_RARROW;
        case 0x11:
        case 0x1B:
            return ACS_LARROW;
        case 0x18:
        case 0x1E:
            return ACS_UARROW;
        case 0x19:
        case 0x1F:
            return ACS_DARROW;
        case 0x04:
            return ACS_DIAMOND;
        case 0x07:
        case 0xF9:
        case 0xFA:
            return ACS_BULLET;
        case 0xF1:
            return ACS_PLMINUS;
        case 0xF2:
            return ACS_GEQUAL;
        case 0xF3:
            return ACS_LEQUAL;
        case 0xF8:
            return ACS_DEGREE;
        case 0xE3:
            return ACS_PI;
        case 0x9C:
            return ACS_STERLING;
        default:
            return 0;
    }
}

void buildGlyphs() {
    for (int b = 0; b < 256; ++b) {
        auto c = static_cast<unsigned char>(b);
        // A glyph the terminal would draw wider or narrower than one cell would
        // shift the rest of the row; such a cell shows a question mark.
        auto wide = static_cast<wchar_t>(cp437ToUnicode(c));
        state.wideGlyphs[b] = wcwidth(wide) == 1 ? wide : L'?';

        if (b == 0) {
            state.narrowGlyphs[b] = ' ';
        } else if (b >= 0x20 && b < 0x7F) {
            state.narrowGlyphs[b] = static_cast<chtype>(b);
        } else if (chtype line = lineDrawing(c)) {
            state.narrowGlyphs[b] = line;
        } else if (b >= 0x80 && b < 0xB0) {
            state.narrowGlyphs[b] = static_cast<chtype>(LATIN_FALLBACK[b - 0x80]);
        } else {
            state.narrowGlyphs[b] = '?';
        }
    }
}

void setUpColours() {
    state.colours = COLOURS_NONE;
    if (!has_colors() || start_color() == ERR)
        return;
    if (COLORS >= 16 && COLOR_PAIRS >= 256) {
        state.colours = COLOURS_16;
        for (int background = 0; background < 16; ++background) {
            for (int foreground = 0; foreground < 16; ++foreground) {
                if (foreground == background)
                    continue;
                init_pair(static_cast<short>(background * 16 + foreground),
                          static_cast<short>(CURSES_COLOUR[foreground & 7] + (foreground & 8)),
                          static_cast<short>(CURSES_COLOUR[background & 7] + (background & 8)));
            }
        }
    } else if (COLORS >= 8 && COLOR_PAIRS >= 64) {
        state.colours = COLOURS_8;
        for (int background = 0; background < 8; ++background) {
            for (int foreground = 0; foreground < 8; ++foreground) {
                if (foreground == background)
                    continue;
                init_pair(static_cast<short>(background * 8 + foreground),
                          CURSES_COLOUR[foreground], CURSES_COLOUR[background]);
            }
        }
    }
}

// The curses colour pair and attributes of a console attribute byte. Text in
// its own background colour is invisible, so such a cell becomes a blank.
void mapAttribute(unsigned attribute, short* pair, attr_t* attributes, bool* blank) {
    int foreground = attribute & 15;
    int background = (attribute >> 4) & 15;
    *attributes = A_NORMAL;
    *blank = false;
    switch (state.colours) {
        case COLOURS_16:
            if (foreground == background) {
                *blank = true;
                foreground = background == 0 ? 7 : 0;
            }
            *pair = static_cast<short>(background * 16 + foreground);
            break;
        case COLOURS_8: {
            // Eight colours: a bright foreground is bold, a bright background its dim colour.
            if (foreground == background)
                *blank = true;
            if (foreground & 8)
                *attributes |= A_BOLD;
            int dimForeground = foreground & 7;
            int dimBackground = background & 7;
            if (dimForeground == dimBackground)
                dimForeground = dimBackground == 7 ? 0 : 7;
            *pair = static_cast<short>(dimBackground * 8 + dimForeground);
            break;
        }
        case COLOURS_NONE:
            *pair = 0;
            if (foreground == background)
                *blank = true;
            if (background != 0)
                *attributes |= A_REVERSE;
            if (foreground & 8)
                *attributes |= A_BOLD;
            break;
    }
}

void writeGrid(const Cell* cells) {
    int rowCount = LINES < SCREEN_ROWS ? LINES : SCREEN_ROWS;
    int columnCount = COLS < SCREEN_COLS ? COLS : SCREEN_COLS;
    cchar_t wideRow[SCREEN_COLS];
    chtype narrowRow[SCREEN_COLS];
    for (int r = 0; r < rowCount; ++r) {
        for (int c = 0; c < columnCount; ++c) {
            const Cell& cell = cells[r * SCREEN_COLS + c];
            unsigned char character = static_cast<unsigned char>(cell.character & 0xFF);
            short pair;
            attr_t attributes;
            bool blank;
            mapAttribute(cell.attributes & 0xFF, &pair, &attributes, &blank);
            if (blank)
                character = ' ';
            if (state.utf8) {
                wchar_t text[2] = {state.wideGlyphs[character], 0};
                setcchar(&wideRow[c], text, attributes, pair, nullptr);
            } else {
                narrowRow[c] = state.narrowGlyphs[character] | attributes | COLOR_PAIR(pair);
            }
        }
        if (state.utf8) {
            mvwadd_wchnstr(stdscr, r, 0, wideRow, columnCount);
        } else {
            mvwaddchnstr(stdscr, r, 0, narrowRow, columnCount);
        }
    }
}

void placeCursor(int column, int row) {
    if (column < 0)
        column = 0;
    if (row < 0)
        row = 0;
    if (column >= COLS)
        column = COLS - 1;
    if (row >= LINES)
        row = LINES - 1;
    wmove(stdscr, row, column);
}

std::string collected;
int collectByte(int c) {
    collected.push_back(static_cast<char>(c));
    return c;
}

// The bytes of a capability with its padding worked out, without sending them.
std::string expand(const char* capability) {
    if (capability == nullptr)
        return "";
    collected.clear();
    tputs(capability, 1, collectByte);
    return collected;
}

}  // namespace

std::string cursesRefusal() {
    const char* term = std::getenv("TERM");
    if (term == nullptr || *term == 0)
        return "TERM is not set, so the terminal's type is unknown";
    const std::string name = "'" + escapeControls(term) + "'";
    // A terminfo entry of its own, dropped again: curses starts later with newterm.
    TERMINAL* previous = cur_term;
    int error = 0;
    if (setupterm(term, STDOUT_FILENO, &error) != OK) {
        set_curterm(previous);
        if (error == 1)
            return "the terminal " + name + " (TERM) is a printing terminal";
        return "the terminal type " + name + " (TERM) is unknown here";
    }
    const char* move = tigetstr("cup");
    const bool addressable = move != nullptr && move != reinterpret_cast<char*>(-1);
    del_curterm(cur_term);
    set_curterm(previous);
    if (!addressable)
        return "the terminal " + name + " (TERM) cannot place the cursor";
    return "";
}

bool cursesOpen(bool utf8) {
    if (state.terminal != nullptr)
        return true;
    SCREEN* terminal = newterm(nullptr, stdout, stdin);
    if (terminal == nullptr)
        return false;
    state.terminal = terminal;
    state.utf8 = utf8;
    state.left = false;
    raw();
    noecho();
    nonl();
    intrflush(stdscr, FALSE);
    scrollok(stdscr, FALSE);
    idlok(stdscr, FALSE);
    leaveok(stdscr, FALSE);
    // Keypad transmit mode, so that keys come as the terminfo entry describes them.
    keypad(stdscr, TRUE);
    setUpColours();
    buildGlyphs();
    curs_set(0);
    state.cursorPercent = 0;
    // Where line drawing goes through a second character set, make sure the
    // terminal has it ready (curses does not always send this itself).
    if (!utf8)
        writeAll(expand(cursesCapability("enacs")));
    werase(stdscr);
    return true;
}

void cursesClose() {
    if (state.terminal == nullptr)
        return;
    cursesLeave();
    delscreen(state.terminal);
    state.terminal = nullptr;
}

void cursesLeave() {
    if (state.terminal == nullptr || state.left)
        return;
    std::string resetShape = expand(cursesCapability("Se"));
    // A terminal without a screen of the program's own (or with it turned
    // off) would keep the last frame: leave it blank. endwin then puts the
    // cursor at the start of the last row.
    werase(stdscr);
    wnoutrefresh(stdscr);
    doupdate();
    endwin();
    writeAll(resetShape);
    state.left = true;
}

void cursesDraw(const Cell* cells, int column, int row) {
    if (state.terminal == nullptr)
        return;
    if (state.left) {
        // Coming back after the screen was given back: curses re-enters on refresh.
        state.left = false;
        state.repaint = true;
    }
    if (state.repaint) {
        werase(stdscr);
        clearok(curscr, TRUE);
        state.repaint = false;
    }
    writeGrid(cells);
    placeCursor(column, row);
    wnoutrefresh(stdscr);
    doupdate();
}

void cursesMoveCursor(int column, int row) {
    if (state.terminal == nullptr || state.left)
        return;
    placeCursor(column, row);
    wnoutrefresh(stdscr);
    doupdate();
}

void cursesCursorSize(int percent) {
    if (state.terminal == nullptr || state.left || percent == state.cursorPercent)
        return;
    state.cursorPercent = percent;
    if (percent == 0) {
        curs_set(0);
        return;
    }
    curs_set(percent <= 25 ? 1 : 2);
    // Where the terminal can change the cursor's shape: an underline for the
    // thin cursor of overwrite mode, a block for insert mode.
    if (const char* setShape = cursesCapability("Ss")) {
        writeAll(expand(tiparm(setShape, percent <= 25 ? 4 : 2)));
    }
}

void cursesResize() {
    if (state.terminal == nullptr)
        return;
    struct winsize size;
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0) {
        resize_term(size.ws_row, size.ws_col);
    }
    state.repaint = true;
}

void cursesWindowSize(int* width, int* height) {
    // (`columns` and `lines` are terminfo macros here.)
    *width = state.terminal != nullptr ? COLS : SCREEN_COLS;
    *height = state.terminal != nullptr ? LINES : SCREEN_ROWS;
}

const char* cursesCapability(const char* name) {
    if (state.terminal == nullptr)
        return nullptr;
    char* value = tigetstr(name);
    if (value == nullptr || value == reinterpret_cast<char*>(-1))
        return nullptr;
    return value;
}

std::string cursesRestoreSequence() {
    std::string bytes = expand(cursesCapability("sgr0"));
    // A clean screen with the cursor at the start of the last row, for
    // terminals that show the program's frames on their normal screen.
    bytes += expand(cursesCapability("clear"));
    if (const char* move = cursesCapability("cup"))
        bytes += expand(tiparm(move, (LINES > 0 ? LINES : 1) - 1, 0));
    for (const char* name : {"cnorm", "Se", "rmkx", "rmcup"}) {
        bytes += expand(cursesCapability(name));
    }
    return bytes;
}
