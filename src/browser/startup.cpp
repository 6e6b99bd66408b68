#include "browser/startup.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "archive/entry.h"
#include "archive/loader.h"
#include "archive/session.h"
#include "browser/mainloop.h"
#include "browser/messages.h"
#include "browser/panels.h"
#include "browser/selection.h"
#include "browser/state.h"
#include "console/backend.h"
#include "console/screen.h"
#include "platform/standard_streams.h"
#include "platform/terminal.h"
#include "text/ascii_fold.h"
#include "text/cause.h"
#include "text/host_text.h"

namespace {

constexpr size_t WINDOW_TITLE_SIZE = 2000;

void setWindowTitle() {
    // Appended piece by piece: "[" + a temporary trips a false alarm of one
    // compiler's overlap check.
    std::string title = "[";
    title += hostTextToCp437(browser.archivePath);
    title += "]-";
    title += browser.titleLine;
    // A title that does not fit keeps its beginning.
    if (title.size() > WINDOW_TITLE_SIZE - 1)
        title.resize(WINDOW_TITLE_SIZE - 1);
    setConsoleTitle(title.c_str());
}

}  // namespace

void usage(const char* programPath) {
    const char* name = programPath;
    for (const char* at = programPath; *at != '\0'; ++at)
        if (*at == '\\' || *at == '/')
            name = at + 1;
    useUtf8Output();
    std::fprintf(stderr, "Usage: %s <dir-file>\n\n", name);
}

std::string upperCasePath(const std::string& path) {
    return foldAsciiText(path);
}

void startBrowser(const char* openPath, uint32_t recordCap) {
    browser = BrowserState{};
    browser.openPath = openPath;
    browser.archivePath = upperCasePath(openPath);

    // The archive is opened once, under the name given: on this host names
    // are case-sensitive, so the upper-cased form is only shown and written.
    // Ripping reads through the same open file later. The root's name is
    // shown, so it is the path in code page 437.
    browser.session = new ArchiveSession;
    browser.session->open(browser.openPath.c_str(), hostTextToCp437(browser.archivePath),
                          recordCap);
    browser.root = browser.session->root();
    browser.panel.current = browser.root;
    if (browser.session->status() == SESSION_TOO_LARGE) {
        browser.terminationReason = REASON_TOO_LARGE;
        browser.reasonCause = recordCapText(browser.session->file().size(), recordCap);
    } else if (browser.session->status() == SESSION_UNFINISHED) {
        // A half-changed archive is never shown: the run ends saying why.
        browser.terminationReason = REASON_OPEN_FAILED;
        browser.reasonCause = asCause(browser.session->openError());
    } else if (browser.session->status() != SESSION_OK) {
        browser.terminationReason = REASON_BAD_FORMAT;
    }
    // A file that could not even be opened says why (no such file, no
    // permission, a directory) after the message.
    if (browser.session->status() == SESSION_OPEN_FAILED)
        browser.reasonCause = asCause(browser.session->openError());
    // What opening settled first (a change rolled back) stands on row 24
    // until the first key.
    browser.notice = hostTextToCp437(browser.session->recoveryNote());
    browser.titleLine = formatTitleLine();
    initMaskField();
}

void runBrowserSession() {
    screenSave();
    cursorShape(CURSOR_HIDDEN);
    screenClear();
    setWindowTitle();
    drawStaticScreen();
    browser.panel.cursor = 0;
    browser.panel.top = 0;
    browser.workBuffer = new unsigned char[WORK_BUFFER_SIZE];
    runMainLoop();
    delete[] browser.workBuffer;
    browser.workBuffer = nullptr;
    screenRestore();
}

void finishBrowser() {
    if (browser.terminationReason == REASON_NO_TERMINAL) {
        std::fprintf(stderr, "%s\n", NO_TERMINAL_MESSAGE);
    } else {
        std::string message = endMessage(browser.terminationReason, browser.archivePath,
                                         browser.reasonSubject, browser.reasonCause);
        if (!message.empty()) {
            useUtf8Output();
            std::printf("\n%s\n", message.c_str());
        }
    }
    std::fflush(stdout);
    // The program could leave the tree to the end of the process; releasing it
    // keeps leak checkers quiet about runs that end normally.
    delete browser.session;
    browser.session = nullptr;
    browser.root = nullptr;
    browser.panel.current = nullptr;
}

int browserExitStatus(int reason) {
    return reason == REASON_NONE || reason == REASON_QUIT ? 0 : 1;
}

int browserMain(int argc, char** argv) {
    if (argc < 2) {
        usage(argc > 0 && argv[0] != nullptr ? argv[0] : "dirrip");
        return 0;
    }
    startBrowser(argv[1]);
    if (!terminalOpen()) {
        // A terminal that cannot show the screen is refused before anything is drawn.
        if (const char* refusal = terminalRefusal()) {
            std::fprintf(stderr, "dirrip: %s; the browser needs a full-screen terminal\n", refusal);
            finishBrowser();
            return 1;
        }
        // Without a terminal no key can come: a load failure still gets its
        // message, anything else ends at once with an explanation.
        if (browser.terminationReason == REASON_NONE)
            browser.terminationReason = REASON_NO_TERMINAL;
    } else {
        runBrowserSession();
        terminalClose();
    }
    finishBrowser();
    return browserExitStatus(browser.terminationReason);
}
