#include "browser/boxes.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "archive/entry.h"
#include "browser/glyphs.h"
#include "browser/help_more.h"
#include "browser/panels.h"
#include "console/keyboard.h"
#include "console/screen.h"
#include "console/window.h"
#include "sysinfo/sysinfo.h"
#include "version.h"

const char* const HELP_LINES[17] = {
    "╔══► ~Keyboard Commands~ ◄═══════════════╗",
    "",
    "~↑~/~↓~       - move cursor",
    "~pgup~/~pgdn~ - page up / down",
    "~home~/~end~  - to begin/end of list",
    "~tab~       - switch panel",
    "~insert~    - select entry",
    "~return~    - enter into dir",
    "~+~/~-~/~*~     - (un)selection/invert",
    "~→~/~←~       - select entry&move cursor",
    "~f2~        - rip entry to file",
    "~f3~/~alt-f3~ - make (sel)filelist",
    "~^l~        - info as like VC or DN",
    "~f1~        - help screen",
    "~esc esc~   - exit",
    "",
    "╚═════════► press ~esc~ to leave help ◄══╝",
};

const int HELP_MARKS[15] = {0, 4, 4, 4, 2, 2, 2, 6, 4, 2, 4, 2, 2, 2, 0};

SystemFigures currentSystemFigures() {
    SystemFigures figures;
#ifdef _WIN32
    OsVersionInfo record;
    queryOsVersion(&record);
    char osLine[200];
    figures.osLine = osVersionText(osLine, &record);
#else
    figures.osLine = hostOsText();
#endif
    char* cpu = cpuText();
    figures.cpuLine = cpu;
    delete[] cpu;
    char version[8];
    figures.hostVersion = versionText(dpmiVersion(), version);
    figures.availableBytes = availableMemory();
    return figures;
}

SystemFigures (*systemFiguresSource)() = currentSystemFigures;

namespace {

constexpr int HELP_TOP = 4;
constexpr unsigned BOX_WIDTH = 40;
constexpr size_t INNER_WIDTH = 38;
constexpr int PATH_LIMIT = 36;

// `text` cut so that it shows in at most `width` cells with `marks` markers.
std::string fitted(std::string text, int marks, size_t width = INNER_WIDTH) {
    if (text.size() > width + marks)
        text.resize(width + marks);
    return text;
}

// "║" + `text` centred in the 38 inner cells + "║".
std::string framed(const std::string& text, int marks) {
    std::string inner = fitted(text, marks);
    std::vector<char> centred(INNER_WIDTH + marks + 1);
    centerText(centred.data(), inner.c_str(), static_cast<int>(INNER_WIDTH), marks);
    static const std::string side = screenText("║");
    return side + centred.data() + side;
}

struct InfoTexts {
    std::string top = screenText("╔══► ~Info~ ◄════════════════════════════╗");
    std::string separator = screenText("╟──────────────────────────────────────╢");
    std::string empty = screenText("║                                      ║");
    std::string bottom = screenText("╚═══════════════════► press ~any~ key ◄══╝");
    std::string side = screenText("║");
};

struct Totals {
    uint64_t bytes = 0;
    int files = 0;
};

std::string totalsLine(const Totals& totals, const char* what) {
    char line[128];
    std::snprintf(line, sizeof line, "~%llu~ bytes in ~%d~ %s",
                  static_cast<unsigned long long>(totals.bytes), totals.files, what);
    return line;
}

// The directory's path as the box shows it: shortened to 36 characters and
// upper-cased. A name too long even for "\..." keeps its end.
std::string shownPath(const Entry* directory) {
    std::string path = fullPath(directory);
    std::vector<char> shortened(path.size() + PATH_LIMIT + 8);
    shortenPath(shortened.data(), path.c_str(), PATH_LIMIT);
    std::string result = shortened.data();
    if (result.size() > static_cast<size_t>(PATH_LIMIT))
        result = "..." + result.substr(result.size() - (PATH_LIMIT - 3));
    return result;
}

}  // namespace

void showHelp() {
    static const std::vector<std::string> lines = helpPageTexts(HELP_LINES, 17);
    drawHelpPage(lines, HELP_MARKS, HELP_TOP);
    // Only Esc leaves; every other key, F1 again too, is read and ignored.
    waitForEsc();
}

void showInfo(bool cursorInLeftPanel, const Entry* directory) {
    static const InfoTexts texts;
    const int column = cursorInLeftPanel ? 40 : 0;
    auto plain = [&](int row, const std::string& text) {
        putMarkup(row, column, ATTR_PANEL, text.c_str(), BOX_WIDTH);
    };
    auto marked = [&](int row, const std::string& text, char marker) {
        putMarked(row, column, ATTR_PANEL, ATTR_PANEL_HIGHLIGHT, text.c_str(), BOX_WIDTH, marker);
    };

    Totals all, selected, ripped;
    for (const Entry* child : directory->children) {
        all.bytes += child->size;
        ++all.files;
        if (child->info != nullptr && child->info->selected) {
            selected.bytes += child->size;
            ++selected.files;
        }
        if (child->info != nullptr && child->info->ripped) {
            ripped.bytes += child->size;
            ++ripped.files;
        }
    }
    SystemFigures figures = systemFiguresSource();

    char title[64];
    std::snprintf(title, sizeof title, "DIR (KESTRALOS) ripper v%d.%02d", VERSION_MAJOR,
                  VERSION_MINOR);

    marked(1, texts.top, '~');
    plain(2, framed(title, 0));
    plain(3, framed(std::string("made ") + MAKER_CREDIT, 0));
    plain(4, texts.separator);
    plain(5, texts.empty);
    plain(6, framed("File details:", 0));

    // The path goes between '*' markers; a '*' inside it would switch colours,
    // so the row is drawn with blanks there and the path's own characters are
    // put into their cells afterwards.
    std::string path = shownPath(directory);
    std::string blanked = path;
    for (char& c : blanked)
        if (c == '*')
            c = ' ';
    std::string pathRow = framed("'*" + blanked + "*'", 2);
    marked(7, pathRow, '*');
    if (blanked != path) {
        int first = column + 1 + static_cast<int>((INNER_WIDTH + 2 - (path.size() + 4)) / 2) + 1;
        putText(7, first, ATTR_PANEL_HIGHLIGHT, path.c_str(), static_cast<unsigned>(path.size()));
    }

    marked(8, framed(totalsLine(all, "file(s)"), 4), '~');
    marked(9, framed(totalsLine(selected, "sel. file(s)"), 4), '~');
    marked(10, framed(totalsLine(ripped, "ripped file(s)"), 4), '~');
    plain(11, texts.empty);
    plain(12, texts.separator);
    plain(13, texts.empty);
    plain(14, framed("System details:", 0));

    // The whole centred field of the two system lines shows highlighted.
    auto highlightedField = [&](const std::string& text) {
        std::string row = framed(fitted(text, 0), 0);
        return row.substr(0, 1) + "~" + row.substr(1, row.size() - 2) + "~" +
               row.substr(row.size() - 1);
    };
    marked(15, highlightedField(figures.osLine), '~');
    marked(16, highlightedField(figures.cpuLine), '~');
    marked(17, framed("DPMI v~" + figures.hostVersion + "~", 2), '~');
    char memory[64];
    std::snprintf(memory, sizeof memory, "Avail DPMI memory ~%llu~MB",
                  static_cast<unsigned long long>(figures.availableBytes >> 20));
    marked(18, framed(memory, 2), '~');
    plain(19, texts.empty);
    plain(20, texts.separator);
    plain(21, framed("Reports and ideas are welcome:", 0));
    marked(22, framed("see the ~README~ of the sources", 2), '~');
    marked(23, texts.bottom, '~');

    screenFlush();
    while (readKey() == 0) {
    }
    drawPanelFrame(column);
}
