#include "browser/mainloop.h"

#include "archive/entry.h"
#include "browser/boxes.h"
#include "browser/change_action.h"
#include "browser/find.h"
#include "browser/help_more.h"
#include "browser/list_action.h"
#include "browser/movement.h"
#include "browser/panels.h"
#include "browser/rip_action.h"
#include "browser/selection.h"
#include "browser/state.h"
#include "browser/status_line.h"
#include "browser/viewer.h"
#include "console/screen.h"

namespace {

int childCount() {
    return static_cast<int>(browser.panel.current->children.size());
}

void openUnderCursor() {
    const Entry* child = childUnderCursor(browser.panel);
    if (child == nullptr)
        return;
    if (child->kind == KIND_SUBDIR)
        enterDirectory();
    else if (child->kind == KIND_UPDIR)
        leaveDirectory();
}

// F4 views files only; on a directory or ".." row 24 says why nothing opened
// and which key does what was perhaps meant.
void viewUnderCursor() {
    const Entry* child = childUnderCursor(browser.panel);
    if (child != nullptr && child->kind == KIND_SUBDIR)
        browser.notice = "'" + child->name + "' is a directory: Enter opens it, F4 views files";
    else if (child != nullptr && child->kind == KIND_UPDIR)
        browser.notice = "'..' leads back up: Enter goes there, F4 views files";  // as listed
    else
        viewFileUnderCursor();
}

}  // namespace

void drawMainScreen() {
    drawStatusField();
    drawEntryRows();
    screenFlush();
}

void exitPrompt() {
    drawTitleBar(ATTR_ALERT);
    screenFlush();
    KeyCode key = readKey();
    if (key == KEY_ESC)
        browser.terminationReason = REASON_QUIT;
    if (key == KEY_NONE)
        browser.terminationReason = REASON_NO_TERMINAL;
    drawTitleBar(ATTR_TITLE);
    screenFlush();
}

void handleKey(KeyCode key) {
    PanelState& panel = browser.panel;
    int count = childCount();
    switch (key) {
        case KEY_NONE:
            browser.terminationReason = REASON_NO_TERMINAL;
            break;
        case KEY_TAB:
            switchPanel(panel, count);
            break;
        case KEY_CTRL_L:
            showInfo(cursorInLeftPanel(panel), panel.current);
            break;
        case KEY_ENTER:
            openUnderCursor();
            break;
        case KEY_ESC:
            exitPrompt();
            break;
        case '*':
            invertSelection();
            break;
        case '+':
            selectByMask();
            break;
        case '-':
            unselectByMask();
            break;
        case KEY_F1:
            showHelp();
            break;
        case KEY_MORE_HELP:
            showMoreHelp();
            break;
        case KEY_F2:
            ripEntries();
            break;
        case KEY_F3:
            makeFullListAction();
            break;
        case KEY_ALT_F3:
            makeSelectedListAction();
            break;
        case KEY_HOME:
            moveHome(panel, count);
            break;
        case KEY_UP:
            moveUp(panel, count);
            break;
        case KEY_PGUP:
            pageUp(panel, count);
            break;
        case KEY_LEFT:
            toggleSelection();
            moveUp(panel, count);
            break;
        case KEY_RIGHT:
            toggleSelection();
            moveDown(panel, count);
            break;
        case KEY_END:
            moveEnd(panel, count);
            break;
        case KEY_DOWN:
            moveDown(panel, count);
            break;
        case KEY_PGDN:
            pageDown(panel, count);
            break;
        case KEY_INSERT:
            toggleSelection();
            break;
        case KEY_VIEW:
            viewUnderCursor();
            break;
        case KEY_FIND_BY_NAME:
            findByNameDialog();
            break;
        case KEY_PUT_BACK:
            putBackEntries();
            break;
        case KEY_DELETE_ENTRY:
            deleteEntries();
            break;
        case KEY_UNDO:
            undoLastChange();
            break;
        default:
            break;
    }
}

void runMainLoop() {
    for (;;) {
        drawHintLine();
        if (browser.terminationReason != REASON_NONE)
            return;
        // A notice (a list not written, a rip cancelled, F4 off a file, what
        // a change did) stands until the next key.
        if (!browser.notice.empty() && browser.noticeIsReport)
            drawReport(browser.notice);
        else if (!browser.notice.empty())
            drawNotice(browser.notice);
        drawMainScreen();
        KeyCode key = readKey();
        browser.notice.clear();
        browser.noticeIsReport = false;
        handleKey(key);
    }
}
