#include "output/rip.h"

#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

#include "archive/entry.h"
#include "browser/panels.h"
#include "browser/state.h"
#include "console/screen.h"
#include "output/confine.h"
#include "output/copy_out.h"
#include "output/free_space.h"
#include "output/output_name.h"

static_assert(WORK_BUFFER_SIZE >= int(RIP_BLOCK_SIZE), "a block is copied through the work buffer");

namespace {

// Ends the run with `reason`; the browser prints the message naming `subject`.
void fail(int32_t reason, const std::string& subject) {
    browser.terminationReason = reason;
    browser.reasonSubject = subject;
}

// The full path of an output directory as the end message shows it: the path
// on disk (host text), so the user can go and look at what stood in the way.
std::string directoryForMessage(const std::string& relative) {
    char cwd[PATH_MAX];
    std::string path = getcwd(cwd, sizeof cwd) ? std::string(cwd) : std::string(".");
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
    char line[256];
    std::snprintf(line, sizeof line, "Ripping '~%s~' %02d%%", entry->name.c_str(), percent);
    putMarkup(24, 0, ATTR_BOX, line, SCREEN_COLS);
    screenFlush();
}

unsigned char* copyBuffer() {
    // Unit tests may rip without the browser's start-up having allocated it.
    static unsigned char fallback[RIP_BLOCK_SIZE];
    return browser.workBuffer ? browser.workBuffer : fallback;
}

struct RipRun {
    int archiveFd = -1;
    int baseFd = -1;  // the current directory, opened at the first file
};

bool hasRoom(const Entry* entry) {
    return freeSpaceQuery(".") >= uint64_t(entry->size);
}

// Rips child `index` of the shown directory. Returns false when it set a reason.
bool ripFile(RipRun& run, int index, bool fromSelection) {
    Entry* entry = browser.panel.current->children[size_t(index)];
    if (run.baseFd < 0) {
        run.baseFd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (run.baseFd < 0) {
            fail(REASON_MKDIR_FAILED, directoryForMessage(""));
            return false;
        }
    }

    std::string outputPath = outputPathFor(entry->name);
    std::string failedDirectory;
    int directoryFd =
        openConfinedDirectory(run.baseFd, outputDirectoryOf(outputPath), &failedDirectory);
    if (directoryFd < 0) {
        fail(REASON_MKDIR_FAILED, directoryForMessage(failedDirectory));
        return false;
    }
    std::string leaf(outputLeafOf(outputPath));
    CopyResult result = COPY_CREATE_FAILED;
    if (!leaf.empty()) {
        int shownPercent = -1;
        result = copyToNewFile(run.archiveFd, entry->info->offset, entry->size, directoryFd,
                               leaf.c_str(), copyBuffer(), [&](uint64_t done, uint64_t size) {
                                   showProgress(entry, done, size, shownPercent);
                               });
    }
    close(directoryFd);

    switch (result) {
        case COPY_DONE:
            break;
        case COPY_CREATE_FAILED:
            fail(REASON_CREATE_FAILED, entry->name);
            return false;
        case COPY_READ_FAILED:
            fail(REASON_READ_FAILED, entry->name);
            return false;
        case COPY_WRITE_FAILED:
            fail(REASON_WRITE_FAILED, entry->name);
            return false;
    }

    entry->info->ripped = 1;
    if (fromSelection) {
        entry->info->selected = 0;
        drawEntryRow(index);
    }
    return true;
}

bool isRippable(const Entry* entry) {
    return entry->kind == KIND_FILE && entry->info != nullptr;
}

}  // namespace

void ripEntries() {
    Entry* directory = browser.panel.current;
    RipRun run;
    // Read-only: ripping never writes to the archive.
    run.archiveFd = open(browser.openPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (run.archiveFd < 0) {
        fail(REASON_OPEN_FAILED, browser.archivePath);
        return;
    }

    bool selectionFound = false;
    int count = directory ? int(directory->children.size()) : 0;
    for (int i = 0; i < count; ++i) {
        Entry* child = directory->children[size_t(i)];
        if (!isRippable(child) || !child->info->selected)
            continue;
        selectionFound = true;
        if (!hasRoom(child)) {
            fail(REASON_DISK_FULL, child->name);
            break;
        }
        if (!ripFile(run, i, true))
            break;
    }

    int cursor = browser.panel.cursor;
    if (!selectionFound && browser.terminationReason == REASON_NONE && cursor >= 0 &&
        cursor < count && isRippable(directory->children[size_t(cursor)])) {
        Entry* child = directory->children[size_t(cursor)];
        if (!hasRoom(child))
            fail(REASON_DISK_FULL, child->name);
        else
            ripFile(run, cursor, false);
    }

    if (run.baseFd >= 0)
        close(run.baseFd);
    close(run.archiveFd);
}

int makeDirectories(const char* path) {
    std::string directory(path);
    for (char& c : directory)
        if (c == '\\')
            c = '/';
    const char* base = !directory.empty() && directory[0] == '/' ? "/" : ".";
    int baseFd = open(base, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (baseFd < 0)
        return 1;
    int fd = openConfinedDirectory(baseFd, directory, nullptr);
    close(baseFd);
    if (fd < 0)
        return 1;
    close(fd);
    return 0;
}
