#include "browser/startup.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "archive/entry.h"
#include "archive/loader.h"
#include "browser/mainloop.h"
#include "browser/messages.h"
#include "browser/panels.h"
#include "browser/selection.h"
#include "browser/state.h"
#include "console/backend.h"
#include "console/screen.h"
#include "platform/terminal.h"
#include "text/host_text.h"

namespace {

constexpr size_t WINDOW_TITLE_SIZE = 2000;

int releaseInfo(EntryInfo* info) {
    delete info;
    return 0;
}

// The program could leave the tree to the end of the process; releasing it
// keeps leak checkers quiet about runs that end normally.
// Without recursion, so that archives nested thousands of levels deep end cleanly.
void releaseTree(Entry* entry) {
    destroyDescendants(entry);
    delete entry;
}

void setWindowTitle() {
    std::string title = "[" + hostTextToCp437(browser.archivePath) + "]-" + browser.titleLine;
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
    std::fprintf(stderr, "Usage: %s <dir-file>\n\n", name);
}

std::string upperCasePath(const std::string& path) {
    std::string upper = path;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

void startBrowser(const char* openPath, uint32_t recordCap) {
    browser = BrowserState{};
    browser.openPath = openPath;
    browser.archivePath = upperCasePath(openPath);

    Entry* root = new Entry;
    root->kind = KIND_ROOT;
    root->name = hostTextToCp437(browser.archivePath);  // shown as code page 437
    root->info = new EntryInfo{};
    browser.root = root;
    browser.panel.current = root;
    releaseInfoHook = releaseInfo;

    // The archive is opened under the name given: on this host names are
    // case-sensitive, so the upper-cased form is only shown and written.
    if (loadArchiveLimited(browser.openPath.c_str(), root, recordCap) == 0 ||
        root->children.empty())
        browser.terminationReason = REASON_BAD_FORMAT;
    else if (loadCapReached())
        browser.terminationReason = REASON_TOO_LARGE;
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
        std::string message =
            endMessage(browser.terminationReason, browser.archivePath, browser.reasonSubject);
        if (!message.empty())
            std::printf("\n%s\n", message.c_str());
    }
    std::fflush(stdout);
    if (browser.root != nullptr)
        releaseTree(browser.root);
    browser.root = nullptr;
    browser.panel.current = nullptr;
}

int browserMain(int argc, char** argv) {
    if (argc < 2) {
        usage(argc > 0 && argv[0] != nullptr ? argv[0] : "dirrip");
        return 0;
    }
    startBrowser(argv[1]);
    if (!terminalOpen()) {
        // Without a terminal no key can come: a load failure still gets its
        // message, anything else ends at once with an explanation.
        if (browser.terminationReason == REASON_NONE)
            browser.terminationReason = REASON_NO_TERMINAL;
        finishBrowser();
        return 0;
    }
    runBrowserSession();
    terminalClose();
    finishBrowser();
    return 0;
}
