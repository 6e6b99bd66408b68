#include "browser/change_action.h"

#include <string>
#include <vector>

#include "archive/change.h"
#include "archive/entry.h"
#include "archive/search.h"
#include "archive/session.h"
#include "archive/walk.h"
#include "browser/confirm_box.h"
#include "browser/messages.h"
#include "browser/movement.h"
#include "browser/reload.h"
#include "browser/rip_action.h"
#include "browser/state.h"
#include "browser/status_line.h"
#include "platform/archive_file.h"
#include "text/cause.h"
#include "text/counted.h"
#include "text/host_text.h"

namespace {

constexpr int MOST_NAMES_SHOWN = 8;

// Row 24 until the next key: what was done, in the box colour.
void sayDone(const std::string& text) {
    browser.notice = text;
    browser.noticeIsReport = true;
}

// Row 24 until the next key: why nothing was done, in the alert colour.
void sayRefused(const std::string& text) {
    browser.notice = text;
    browser.noticeIsReport = false;
}

std::string quoted(const std::string& name) {
    return "'" + name + "'";
}

// A change is worked out from the archive on disk, but chosen on the tree
// shown: when the archive changed since that was loaded, the tree is loaded
// again and nothing is changed, so that the user sees what they would change.
bool shownTreeIsCurrent(const std::string& nothing) {
    if (archiveOnDisk() == ARCHIVE_UNCHANGED)
        return true;
    std::string note, why;
    if (reloadArchive(&note, &why))
        sayRefused(nothing + ": the archive changed on disk and is shown anew" +
                   (note.empty() ? "" : "; " + note));
    else
        sayRefused(nothing + ": the archive changed on disk and cannot be loaded again: " + why);
    return false;
}

// The path that names `entry` in a change request ('/' between names, as
// --list shows it and the history then names it). The change finds entries
// by path, so an entry that another one's path would shadow (a name holding
// '\' beside a directory of that name) is refused rather than mistaken.
bool requestPath(const Entry* entry, const std::string& nothing, std::string* path) {
    *path = archivePathOf(entry);
    if (findByPath(browser.root, *path) == entry)
        return true;
    sayRefused(nothing + ": " + quoted(*path) + " also names another entry of the archive");
    return false;
}

// Says why a change or an undo did nothing. When the archive is no longer
// as loaded (another program changed it meanwhile, or a change that failed
// part way was rolled back and left it a new modification time), the tree
// is loaded again too, so that the next key acts on what is there.
void sayWhyNothing(const std::string& nothing, const std::string& why) {
    sayRefused(nothing + ": " + hostTextToCp437(why));
    if (archiveOnDisk() == ARCHIVE_UNCHANGED)
        return;
    std::string note, cannot;
    if (!reloadArchive(&note, &cannot))
        browser.notice += "; the archive cannot be shown anew: " + cannot;
}

// Makes `requests` as one change of the archive as loaded. On refusal says
// why and returns false.
bool makeChange(const std::vector<EditRequest>& requests, const std::string& nothing,
                ChangeReport* report) {
    ChangeOptions options;
    options.loaded = &browser.session->file().stamp();
    if (changeArchive(browser.openPath, requests, options, report))
        return true;
    sayWhyNothing(nothing, report->why);
    return false;
}

// After a change: the tree is loaded again from the archive and row 24 says
// `done`, with what the change noted besides.
void showChanged(const std::string& done, const ChangeReport& report) {
    std::string line = done;
    for (const std::string& note : report.notes) line += "; " + hostTextToCp437(note);
    std::string settled, why;
    if (!reloadArchive(&settled, &why)) {
        sayRefused(done + ", but the archive cannot be shown anew: " + why);
        return;
    }
    sayDone(line);
}

// What the box says goes with a directory.
std::string directoryContents(const Entry* directory) {
    size_t files = 0, directories = 0;
    for (TreeWalk walk(directory, WALK_WITHOUT_PATHS); walk.next();) {
        if (walk.step() == WALK_FILE)
            ++files;
        else if (walk.step() == WALK_ENTER && walk.entry() != directory)
            ++directories;
    }
    if (files + directories == 0)
        return "It is empty.";
    return "With all it holds: " + counted(files, "file", "files") + " in " +
           counted(directories + 1, "directory", "directories") + ".";
}

// The lines of the box that asks before `doomed` are deleted.
std::vector<std::string> deletionLines(const std::vector<const Entry*>& doomed, bool selection) {
    std::vector<std::string> lines;
    if (!selection) {
        const Entry* entry = doomed.front();
        if (entry->kind == KIND_SUBDIR) {
            lines.push_back("Delete the directory " + quoted(entry->name) + "?");
            lines.push_back(directoryContents(entry));
        } else {
            lines.push_back("Delete the file " + quoted(entry->name) + "?");
            lines.push_back("It holds " + counted(entry->size, "byte", "bytes") + ".");
        }
    } else {
        lines.push_back(doomed.size() == 1
                            ? std::string("Delete the selected file?")
                            : "Delete these " + std::to_string(doomed.size()) + " selected files?");
        for (size_t i = 0; i < doomed.size() && i < MOST_NAMES_SHOWN; ++i)
            lines.push_back("  " + doomed[i]->name);
        if (doomed.size() > MOST_NAMES_SHOWN)
            lines.push_back("  and " + std::to_string(doomed.size() - MOST_NAMES_SHOWN) + " more");
    }
    return lines;
}

// The notice for a key that acts on files (F5) or entries (F8) pressed with
// the cursor on a directory or on "..".
void sayNotForThisEntry(const Entry* child, const std::string& what) {
    if (child != nullptr && child->kind == KIND_UPDIR)
        sayRefused("'..' leads back up: " + what);
    else if (child != nullptr && child->kind == KIND_SUBDIR)
        sayRefused(quoted(child->name) + " is a directory: " + what);
}

}  // namespace

void putBackEntries() {
    const std::string nothing = "Nothing replaced";
    Entry* directory = browser.panel.current;
    const std::vector<RipTarget> targets = ripTargets(directory, browser.panel.cursor);
    if (targets.empty()) {
        sayNotForThisEntry(childUnderCursor(browser.panel), "F5 puts back files that F2 ripped");
        return;
    }
    if (!shownTreeIsCurrent(nothing))
        return;
    std::vector<EditRequest> requests;
    std::vector<Entry*> files;
    for (const RipTarget& target : targets) {
        Entry* file = directory->children[size_t(target.index)];
        EditRequest request;
        request.operation = EDIT_REPLACE;
        if (!requestPath(file, nothing, &request.path))
            return;
        if (target.outputPath.empty()) {
            sayRefused(nothing + ": nothing of the name " + quoted(file->name) +
                       " is left to rip it under");
            return;
        }
        // Looked at here, so that a file that is missing or cannot be read
        // is named before the archive is opened for the change.
        ArchiveFile source;
        std::string cause;
        if (!source.open(target.outputPath.c_str(), &cause)) {
            sayRefused(nothing + ": cannot read " + quoted(hostTextToCp437(target.outputPath)) +
                       ": " + hostTextToCp437(asCause(cause)));
            return;
        }
        request.source = EDIT_SOURCE_HOST_FILE;
        request.hostPath = target.outputPath;
        request.hostSize = source.size();
        requests.push_back(request);
        files.push_back(file);
    }
    showNamedLine(
        "Putting back ",
        files.size() == 1 ? quoted(files.front()->name) : counted(files.size(), "file", "files"),
        " ...");
    ChangeReport report;
    if (!makeChange(requests, nothing, &report))
        return;
    // Like F2, putting files back uses up their selection.
    for (Entry* file : files) file->info->selected = 0;
    showChanged(files.size() == 1 ? "Replaced " + quoted(files.front()->name)
                                  : "Replaced " + counted(files.size(), "file", "files"),
                report);
}

void deleteEntries() {
    const std::string nothing = "Nothing deleted";
    Entry* directory = browser.panel.current;
    std::vector<const Entry*> doomed;
    for (const Entry* child : directory->children)
        if (child->kind == KIND_FILE && child->info != nullptr && child->info->selected)
            doomed.push_back(child);
    const bool selection = !doomed.empty();
    if (!selection) {
        const Entry* child = childUnderCursor(browser.panel);
        if (child == nullptr || child->kind == KIND_UPDIR) {
            sayNotForThisEntry(child, "F8 deletes files and directories");
            return;
        }
        doomed.push_back(child);
    }
    // The loader takes an archive whose root lists nothing for no archive.
    if (directory == browser.root && doomed.size() == directory->children.size()) {
        sayRefused(nothing + ": the archive would be left without any entry");
        return;
    }
    if (!shownTreeIsCurrent(nothing))
        return;
    std::vector<EditRequest> requests;
    for (const Entry* entry : doomed) {
        EditRequest request;
        request.operation = EDIT_DELETE;
        if (!requestPath(entry, nothing, &request.path))
            return;
        requests.push_back(request);
    }
    if (!confirmBox("delete", deletionLines(doomed, selection),
                    "~Enter~ deletes, ~Esc~ cancels (~Ctrl-Z~ takes it back)")) {
        sayDone(nothing);
        return;
    }
    const std::string what =
        doomed.size() == 1 ? quoted(doomed.front()->name) : counted(doomed.size(), "file", "files");
    showNamedLine("Deleting ", what, " ...");
    ChangeReport report;
    if (makeChange(requests, nothing, &report))
        showChanged("Deleted " + what, report);
}

void undoLastChange() {
    const std::string nothing = "Nothing undone";
    if (!shownTreeIsCurrent(nothing))
        return;
    showNamedLine("Undoing the last change", "", " ...");
    ChangeOptions options;
    options.loaded = &browser.session->file().stamp();
    ChangeReport report;
    if (!undoArchiveChange(browser.openPath, options, &report)) {
        sayWhyNothing(nothing, report.why);
        return;
    }
    // "undone: replace A.BIN" reads "Undone: replace A.BIN".
    std::string done = report.lines.empty() ? "undone" : hostTextToCp437(report.lines.front());
    if (done[0] >= 'a' && done[0] <= 'z')
        done[0] = char(done[0] - 'a' + 'A');
    showChanged(done, report);
}
