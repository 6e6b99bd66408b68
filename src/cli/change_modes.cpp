#include "cli/change_modes.h"

#include <ctime>
#include <ostream>

#include "archive/change.h"
#include "cli/display_name.h"
#include "platform/host_files.h"
#include "text/cp437.h"

namespace {

void printSettled(const ChangeReport& report, std::ostream& err) {
    for (const std::string& line : report.settled) err << "dirrip: " << displayPath(line) << "\n";
}

int refuse(const std::string& what, const std::string& archive, const std::string& why,
           std::ostream& err) {
    err << "dirrip: cannot " << what << " '" << displayPath(archive) << "': " << displayPath(why)
        << "\n";
    return 1;
}

// Reports a finished change, an undo or a forget.
int finish(int done, const std::string& what, const std::string& archive,
           const ChangeReport& report, std::ostream& out, std::ostream& err) {
    printSettled(report, err);
    if (!done)
        return refuse(what, archive, report.why, err);
    for (const std::string& line : report.lines) out << displayPath(line) << "\n";
    for (const std::string& note : report.notes)
        err << "dirrip: note: " << displayPath(note) << "\n";
    return 0;
}

// The request for `command`, its paths and new name converted to code page
// 437 and its file looked at. Returns 1, or 0 with the reason in `*why`.
int makeRequests(const ChangeCommand& command, std::vector<EditRequest>* requests,
                 std::string* why) {
    EditRequest request;
    request.operation = command.operation;
    if (command.operation == EDIT_RENAME &&
        !editNameFromUtf8(command.newName, &request.newName, why))
        return 0;
    if (command.operation == EDIT_REPLACE || command.operation == EDIT_ADD) {
        HostFileInfo info;
        std::string cause;
        if (!inspectHostPath(command.hostFile, true, &info, &cause)) {
            *why = "cannot read '" + command.hostFile + "': " + cause;
            return 0;
        }
        if (info.kind != HOST_FILE) {
            *why = "'" + command.hostFile + "' is not a regular file";
            return 0;
        }
        request.source = EDIT_SOURCE_HOST_FILE;
        request.hostPath = command.hostFile;
        request.hostSize = info.size;
    }
    for (const std::string& path : command.paths) {
        if (!utf8ToCp437(path, &request.path)) {
            *why = "'" + path + "' holds a character that names in the archive cannot hold";
            return 0;
        }
        requests->push_back(request);
    }
    return 1;
}

std::string formatTime(int64_t seconds) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    char text[32] = "?";
    if (const std::tm* local = std::localtime(&time))
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
    return text;
}

}  // namespace

int changeMode(const ChangeCommand& command, std::ostream& out, std::ostream& err) {
    std::vector<EditRequest> requests;
    std::string why;
    if (!makeRequests(command, &requests, &why))
        return refuse("change", command.archive, why, err);
    ChangeReport report;
    const int done = changeArchive(command.archive, requests, ChangeOptions{}, &report);
    return finish(done, "change", command.archive, report, out, err);
}

int undoMode(const std::string& archive, std::ostream& out, std::ostream& err) {
    ChangeReport report;
    const int done = undoArchiveChange(archive, ChangeOptions{}, &report);
    return finish(done, "undo a change of", archive, report, out, err);
}

int historyMode(const std::string& archive, std::ostream& out, std::ostream& err) {
    ChangeReport report;
    std::vector<HistoryEntry> entries;
    const int done = readChangeHistory(archive, &entries, &report);
    printSettled(report, err);
    if (!done)
        return refuse("read the history of", archive, report.why, err);
    if (entries.empty())
        out << "no changes to undo\n";
    for (const HistoryEntry& entry : entries) {
        out << entry.number << "  " << formatTime(entry.time) << "  "
            << displayPath(entry.description) << "  (" << entry.bytesWritten << " bytes)\n";
    }
    return 0;
}

int forgetMode(const std::string& archive, std::ostream& out, std::ostream& err) {
    ChangeReport report;
    const int done = forgetChangeHistory(archive, ChangeOptions{}, &report);
    return finish(done, "forget the history of", archive, report, out, err);
}
