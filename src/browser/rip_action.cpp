#include "browser/rip_action.h"

#include <cstdio>
#include <string>
#include <vector>

#include "archive/entry.h"
#include "archive/session.h"
#include "browser/panels.h"
#include "browser/reload.h"
#include "browser/state.h"
#include "browser/status_line.h"
#include "console/keyboard.h"
#include "output/copy_out.h"
#include "output/output_plan.h"
#include "platform/output_files.h"

static_assert(WORK_BUFFER_SIZE >= int(RIP_BLOCK_SIZE), "a block is copied through the work buffer");

const char* const RIP_CANCELLED_NOTICE = "Ripping cancelled";

namespace {

// Bytes copied between two looks at the keyboard; a look costs a system
// call, so not every block of a slow copy through the buffer pays for one.
constexpr uint64_t KEY_LOOK_BYTES = 1u << 20;

// Keys typed while a rip runs: Esc asks it to stop; every other key was
// meant for a screen that was not listening and is dropped.
bool escapeTyped() {
    for (;;) {
        KeyCode key = pollKey();
        if (key == KEY_ESC)
            return true;
        if (key == KEY_NOT_READY || key == KEY_NONE)
            return false;
    }
}

// When the rip ends, whatever else was typed goes too (an Esc after the last
// block, the second Esc of two included): none of it was meant for the
// screen that comes back.
void dropTypedKeys() {
    for (KeyCode key = pollKey(); key != KEY_NOT_READY && key != KEY_NONE; key = pollKey()) {
    }
}

// Ends the run with `reason`; the browser prints the message naming `subject`.
void fail(int32_t reason, const std::string& subject, int error) {
    browser.terminationReason = reason;
    browser.reasonSubject = subject;
    browser.reasonCause = error != 0 ? outputErrorText(error) : std::string();
}

// The full path of an output directory as the end message shows it: the path
// on disk (host text), so the user can go and look at what stood in the way.
std::string directoryForMessage(const std::string& relative) {
    std::string path = currentDirectoryPath();
    if (!relative.empty()) {
        if (path.empty() || path.back() != '/')
            path += '/';
        path += relative;
    }
    return path;
}

// "Ripping 'NAME' NN%" on the hint line, shown at once. Nothing else draws
// while a file is copied, so when the figure is the one already shown
// (`shownPercent`, -1 before the file's first block) the frame would be
// identical, and the redraw and flush are left out: a large file then costs a
// hundred flushes instead of one per block.
void showProgress(const Entry* entry, uint64_t done, uint64_t size, int& shownPercent) {
    int percent = int(done * 100 / size);
    if (percent == shownPercent)
        return;
    shownPercent = percent;
    char figure[8];
    std::snprintf(figure, sizeof figure, "' %02d%%", percent);
    showNamedLine("Ripping '", entry->name, figure);
}

unsigned char* copyBuffer() {
    // Unit tests may rip without the browser's start-up having allocated it.
    static unsigned char fallback[RIP_BLOCK_SIZE];
    return browser.workBuffer ? browser.workBuffer : fallback;
}

enum RipOutcome { RIP_DONE, RIP_FAILED, RIP_CANCELLED };

// Rips child `index` of the shown directory to `outputPath` (planned for the
// whole F2); RIP_FAILED when it set a reason.
RipOutcome ripFile(OutputRun& run, int index, bool fromSelection, const std::string& outputPath) {
    Entry* entry = browser.panel.current->children[size_t(index)];
    int shownPercent = -1;
    uint64_t lookedAt = 0;
    CopyOptions options;
    options.buffer = copyBuffer();
    options.progress = [&](uint64_t done, uint64_t size) {
        showProgress(entry, done, size, shownPercent);
    };
    options.cancel = [&](uint64_t done) {
        if (done != 0 && done - lookedAt < KEY_LOOK_BYTES)
            return false;
        lookedAt = done;
        return escapeTyped();
    };
    // Inside the kernel the bytes never pass through the program; the steps
    // of a percent keep the progress line moving and Esc heard.
    options.inKernel = true;
    options.stepByPercent = true;
    CopyResult result = copyEntryOut(&run, browser.session->file(), entry, outputPath, options);
    switch (result.status) {
        case COPY_DONE:
        case COPY_KEPT:
            break;
        case COPY_CANCELLED:
            return RIP_CANCELLED;
        case COPY_NO_ROOM:
            fail(REASON_DISK_FULL, entry->name, 0);
            return RIP_FAILED;
        case COPY_MKDIR_FAILED:
            fail(REASON_MKDIR_FAILED, directoryForMessage(result.path), result.error);
            return RIP_FAILED;
        case COPY_CREATE_FAILED:
            fail(REASON_CREATE_FAILED, entry->name, result.error);
            return RIP_FAILED;
        case COPY_READ_FAILED:
            fail(REASON_READ_FAILED, entry->name, 0);
            return RIP_FAILED;
        case COPY_WRITE_FAILED:
            fail(REASON_WRITE_FAILED, entry->name, result.error);
            return RIP_FAILED;
    }
    entry->info->ripped = 1;
    if (fromSelection) {
        entry->info->selected = 0;
        drawEntryRow(index);
    }
    return RIP_DONE;
}

bool isRippable(const Entry* entry) {
    return entry->kind == KIND_FILE && entry->info != nullptr;
}

}  // namespace

std::vector<RipTarget> ripTargets(const Entry* directory, int cursor) {
    const int count = directory ? int(directory->children.size()) : 0;
    std::vector<const Entry*> chosen;
    std::vector<RipTarget> targets;
    for (int i = 0; i < count; ++i) {
        const Entry* child = directory->children[size_t(i)];
        if (isRippable(child) && child->info->selected) {
            chosen.push_back(child);
            targets.push_back({i, std::string()});
        }
    }
    if (chosen.empty() && cursor >= 0 && cursor < count &&
        isRippable(directory->children[size_t(cursor)])) {
        chosen.push_back(directory->children[size_t(cursor)]);
        targets.push_back({cursor, std::string()});
    }
    // Planned together, so that no file overwrites another and a name that
    // needs no change keeps it.
    const std::vector<std::string> planned = planOutputPaths(directory, chosen);
    for (size_t k = 0; k < planned.size(); ++k) targets[k].outputPath = planned[k];
    return targets;
}

void ripEntries() {
    Entry* directory = browser.panel.current;
    if (browser.session == nullptr || !browser.session->file().isOpen()) {
        fail(REASON_OPEN_FAILED, browser.archivePath, 0);
        return;
    }
    // The tree says where each file's data lies; once another program has
    // changed the archive in place those places may hold other bytes, so the
    // tree is loaded again and shown before anything is ripped. (A file put
    // in its place under the same name is not read: the open one still is.)
    if (archiveOnDisk() == ARCHIVE_CHANGED) {
        std::string note, why;
        browser.notice = reloadArchive(&note, &why)
                             ? "Nothing ripped: the archive changed on disk and is shown anew"
                             : "Nothing ripped: the archive changed on disk and cannot be loaded "
                               "again: " +
                                   why;
        return;
    }
    OutputRun run;
    int error = 0;
    if (!beginOutputRun(&run, ".", false, &error)) {
        fail(REASON_MKDIR_FAILED, directoryForMessage(""), error);
        return;
    }

    const std::vector<RipTarget> targets = ripTargets(directory, browser.panel.cursor);
    const bool fromSelection =
        !targets.empty() && directory->children[size_t(targets.front().index)]->info->selected;
    RipOutcome outcome = RIP_DONE;
    for (size_t k = 0; k < targets.size() && outcome == RIP_DONE; ++k)
        outcome = ripFile(run, targets[k].index, fromSelection, targets[k].outputPath);
    endOutputRun(&run);
    if (outcome == RIP_CANCELLED)
        browser.notice = RIP_CANCELLED_NOTICE;
    dropTypedKeys();
}
