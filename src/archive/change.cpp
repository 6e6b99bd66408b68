#include "archive/change.h"

#include <algorithm>
#include <ctime>

#include "archive/journal.h"
#include "platform/host_files.h"

namespace {

// The archive opened for a change, with its journal as read under the lock.
struct LockedArchive {
    EditableArchive archive;
    JournalFile journal;  // open when the journal file exists
    std::string journalPath;
    JournalContents contents;
};

// Whether a journal that belongs to another file stops the operation.
enum ForeignJournal { REFUSE_FOREIGN, ALLOW_FOREIGN };

std::string foreignJournalText(const std::string& journalPath, const JournalContents& contents) {
    if (contents.state == JOURNAL_FOREIGN)
        return "'" + journalPath + "' is not a journal this program can read; it is left alone";
    return "the journal '" + journalPath +
           "' belongs to another file; it is left alone until the history is forgotten";
}

bool hasUnfinishedStep(const JournalContents& contents) {
    return contents.state == JOURNAL_PRESENT && !contents.steps.empty() &&
           contents.steps.back().state != STEP_COMPLETE;
}

// Whether the journal is not the one of the file `stamp` describes: another
// file's (identities are recorded), or, when a file number was given again to
// a new file, one whose unfinished change could never have left this length
// (while a step runs the length stays between its old and its new one).
bool belongsElsewhere(const JournalContents& contents, const FileStamp& stamp) {
    if (contents.state == JOURNAL_FOREIGN)
        return true;
    if (contents.state != JOURNAL_PRESENT)
        return false;
    if (!(contents.identity == stamp.identity))
        return true;
    if (!hasUnfinishedStep(contents))
        return false;
    const StepFixed& step = contents.steps.back().fixed;
    return stamp.size < std::min(step.oldLength, step.plannedLength) ||
           stamp.size > std::max(step.oldLength, step.plannedLength);
}

std::string settledLine(RecoveryAction action, const std::string& description) {
    switch (action) {
        case RECOVERY_ROLLED_BACK:
            return "rolled back an unfinished change: " + description;
        case RECOVERY_UNDO_FINISHED:
            return "finished undoing a change that was cut short: " + description;
        default:
            return "";
    }
}

FileStamp stampOf(const HostFileInfo& file) {
    FileStamp stamp;
    stamp.identity = {file.volume, file.file};
    stamp.size = file.size;
    return stamp;
}

// Opens the journal beside a locked archive, when there is one, and reads it.
int readLockedJournal(LockedArchive* locked, std::string* why) {
    bool missing = false;
    std::string cause;
    locked->contents = JournalContents{};
    if (!locked->journal.open(locked->journalPath.c_str(), JOURNAL_UPDATE, &missing, &cause)) {
        if (missing)
            return 1;
        *why = "cannot open the journal '" + locked->journalPath + "': " + cause;
        return 0;
    }
    return readJournal(locked->journal, &locked->contents, why);
}

// A journal that holds nothing any more goes away.
void removeIfEmpty(LockedArchive* locked) {
    if (!locked->journal.isOpen() || locked->journal.size() != 0)
        return;
    locked->journal.close();
    std::string ignored;
    removeJournalFile(locked->journalPath, &ignored);
}

// Opens the archive for a change under its lock, checks it against what the
// caller loaded, reads the journal and settles what an interrupted change left.
int openLocked(const std::string& path, const ChangeOptions& options, ForeignJournal foreign,
               LockedArchive* locked, ChangeReport* report) {
    const FileIdentity* expected = options.loaded != nullptr ? &options.loaded->identity : nullptr;
    if (locked->archive.open(path.c_str(), expected, options.lockWaitMilliseconds, &report->why) !=
        EDIT_OPEN_OK)
        return 0;
    const FileStamp now = locked->archive.stamp();
    if (options.loaded != nullptr &&
        (now.size != options.loaded->size ||
         now.modifiedNanoseconds != options.loaded->modifiedNanoseconds)) {
        report->why = "the archive changed since it was loaded";
        return 0;
    }
    locked->journalPath = journalPathFor(path);
    if (!readLockedJournal(locked, &report->why))
        return 0;
    if (belongsElsewhere(locked->contents, now)) {
        if (foreign == ALLOW_FOREIGN)
            return 1;
        report->why = foreignJournalText(locked->journalPath, locked->contents);
        return 0;
    }
    if (!journalNeedsRecovery(locked->contents, locked->journal.size()))
        return 1;
    RecoveryAction action = RECOVERY_NOTHING;
    std::string description, why;
    if (!recoverJournal(locked->archive, locked->journal, &locked->contents, &action, &description,
                        &why)) {
        report->why = "cannot roll back an unfinished change: " + why;
        return 0;
    }
    const std::string line = settledLine(action, description);
    if (!line.empty())
        report->settled.push_back(line);
    removeIfEmpty(locked);
    return 1;
}

uint64_t plannedBytes(const EditPlan& plan) {
    uint64_t total = 0;
    for (const EditWrite& write : plan.writes) total += write.length;
    return total;
}

// Applies `plan` to a locked archive as one step (or, in a dry run, reports it).
int applyLocked(LockedArchive* locked, const EditPlan& plan, const ChangeOptions& options,
                ChangeReport* report) {
    report->plan = plan;
    const bool nothing = plan.writes.empty() && plan.newLength == plan.oldLength;
    const bool writing = !nothing && !options.dryRun;
    if (writing) {
        std::string cause;
        if (!locked->journal.isOpen() &&
            !locked->journal.open(locked->journalPath.c_str(), JOURNAL_CREATE, nullptr, &cause)) {
            report->why = "cannot create the journal '" + locked->journalPath + "': " + cause;
            return 0;
        }
        if (!applyJournalStep(locked->archive, locked->journal, &locked->contents,
                              locked->archive.stamp().identity, plan, int64_t(std::time(nullptr)),
                              &report->why)) {
            removeIfEmpty(locked);
            return 0;
        }
    }
    const uint64_t planned = plannedBytes(plan);
    const std::string bytes = std::to_string(planned);
    report->lines.push_back(plan.description + ": " +
                            (nothing          ? std::string("nothing to write")
                             : options.dryRun ? bytes + " bytes would be written"
                                              : bytes + " bytes written"));
    report->notes = plan.notes;
    report->bytesWritten = writing ? planned : 0;
    report->stamp = locked->archive.stamp();
    return 1;
}

}  // namespace

int changeArchive(const std::string& archivePath, const std::vector<EditRequest>& requests,
                  const ChangeOptions& options, ChangeReport* report) {
    LockedArchive locked;
    if (!openLocked(archivePath, options, REFUSE_FOREIGN, &locked, report))
        return 0;
    // The plan is worked out from the locked file itself, so that it sees
    // the bytes it will change and nobody else's change can come between.
    EditPlan plan;
    if (!planArchiveEdit(locked.archive, requests, &plan, &report->why))
        return 0;
    if (!options.description.empty())
        plan.description = options.description;
    return applyLocked(&locked, plan, options, report);
}

int applyArchivePlan(const std::string& archivePath, const EditPlan& plan,
                     const ChangeOptions& options, ChangeReport* report) {
    LockedArchive locked;
    if (!openLocked(archivePath, options, REFUSE_FOREIGN, &locked, report))
        return 0;
    return applyLocked(&locked, plan, options, report);
}

int undoArchiveChange(const std::string& archivePath, const ChangeOptions& options,
                      ChangeReport* report) {
    LockedArchive locked;
    if (!openLocked(archivePath, options, REFUSE_FOREIGN, &locked, report))
        return 0;
    if (locked.contents.steps.empty()) {
        report->why = "there is no change to undo";
        return 0;
    }
    const JournalStep last = locked.contents.steps.back();
    if (!undoJournalStep(locked.archive, locked.journal, &locked.contents, &report->why))
        return 0;
    removeIfEmpty(&locked);
    report->lines.push_back("undone: " + last.description);
    report->bytesWritten = last.fixed.written;
    report->stamp = locked.archive.stamp();
    return 1;
}

int readChangeHistory(const std::string& archivePath, std::vector<HistoryEntry>* entries,
                      ChangeReport* report) {
    entries->clear();
    std::string note;
    if (!settleArchive(archivePath, &note, &report->why))
        return 0;
    if (!note.empty())
        report->settled.push_back(note);
    HostFileInfo archive;
    if (!inspectHostPath(archivePath, true, &archive, &report->why))
        return 0;
    JournalFile journal;
    bool missing = false;
    std::string cause;
    const std::string journalPath = journalPathFor(archivePath);
    if (!journal.open(journalPath.c_str(), JOURNAL_READ, &missing, &cause)) {
        if (missing)
            return 1;
        report->why = "cannot read the journal '" + journalPath + "': " + cause;
        return 0;
    }
    JournalContents contents;
    if (!readJournal(journal, &contents, &report->why))
        return 0;
    if (belongsElsewhere(contents, stampOf(archive)))
        return 1;
    for (size_t i = contents.steps.size(); i-- > 0;) {
        const JournalStep& step = contents.steps[i];
        if (step.state == STEP_COMPLETE)
            entries->push_back({int(i + 1), step.fixed.time, step.description, step.fixed.written});
    }
    return 1;
}

int forgetChangeHistory(const std::string& archivePath, const ChangeOptions& options,
                        ChangeReport* report) {
    LockedArchive locked;
    if (!openLocked(archivePath, options, ALLOW_FOREIGN, &locked, report))
        return 0;
    if (!locked.journal.isOpen()) {
        report->lines.push_back("there is no history to forget");
        return 1;
    }
    const uint64_t freed = locked.journal.size();
    const bool foreign = belongsElsewhere(locked.contents, locked.archive.stamp());
    const size_t count = locked.contents.steps.size();
    locked.journal.close();
    std::string cause;
    if (!removeJournalFile(locked.journalPath, &cause)) {
        report->why = "cannot remove the journal '" + locked.journalPath + "': " + cause;
        return 0;
    }
    const std::string bytes = std::to_string(freed) + " bytes freed";
    if (foreign)
        report->lines.push_back("dropped the journal of another file: " + bytes);
    else
        report->lines.push_back("forgot " + std::to_string(count) +
                                (count == 1 ? " change: " : " changes: ") + bytes);
    return 1;
}

int settleArchive(const std::string& archivePath, std::string* note, std::string* why) {
    note->clear();
    // What cannot be looked at is left to the open that follows to report.
    HostFileInfo archive;
    if (!inspectHostPath(archivePath, true, &archive) || archive.kind != HOST_FILE)
        return 1;
    const std::string journalPath = journalPathFor(archivePath);
    JournalFile journal;
    bool missing = false;
    std::string cause;
    if (!journal.open(journalPath.c_str(), JOURNAL_READ, &missing, &cause)) {
        if (missing)
            return 1;
        *why = "cannot read its journal '" + journalPath + "': " + cause;
        return 0;
    }
    JournalContents contents;
    if (!readJournal(journal, &contents, why))
        return 0;
    if (belongsElsewhere(contents, stampOf(archive))) {
        *note = foreignJournalText(journalPath, contents);
        return 1;
    }
    // Only an unfinished step needs the lock; anything else a reader can
    // leave to the next change to tidy.
    if (!hasUnfinishedStep(contents))
        return 1;
    journal.close();
    LockedArchive locked;
    ChangeReport report;
    if (!openLocked(archivePath, ChangeOptions{}, ALLOW_FOREIGN, &locked, &report)) {
        *why = "it holds an unfinished change that cannot be rolled back now: " + report.why;
        return 0;
    }
    if (belongsElsewhere(locked.contents, locked.archive.stamp()))
        *note = foreignJournalText(journalPath, locked.contents);
    else if (!report.settled.empty())
        *note = report.settled.front();
    return 1;
}
