// The loader walks the listings depth first from offset 0. The tree it leaves
// is the one that adding every record with addChild, one at a time, would
// give; but to stay linear in the number of records it appends children
// unchecked and settles duplicates in bulk: through a hash index when a
// directory record must know at once which child it leads into, and by
// sorting when a listing ends. Each directory's children are sorted once,
// when its listing ends, or, for a directory whose listing was entered again
// through a dropped directory record, when the load ends.
#include "archive/loader.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "archive/child_order.h"
#include "archive/entry.h"
#include "archive/fold_index.h"
#include "archive/load_observer.h"
#include "archive/record.h"
#include "archive/record_reader.h"
#include "platform/byte_store.h"

namespace {

// One listing being read: the directory it fills and where its next record is.
struct Frame {
    Entry* directory;
    uint64_t listingStart;
    uint64_t position;
    bool fresh;              // the directory had no children when the listing began
    bool guardsStart;        // listingStart is in Loader::activeStarts_
    bool repeat;             // a listing read before, or one inside it: not reported again
    LoadObserver* observer;  // null unless what this listing holds is to be reported
    // Children [0, indexed) are free of duplicates and in `index`; those after
    // them are appended unchecked until a lookup or the listing's end.
    size_t indexed;
    FoldIndex* index;                     // null until a lookup needs one
    std::unique_ptr<FoldIndex> ownIndex;  // a fresh directory's index
};

void discardEntry(Entry* entry) {
    delete entry->info;
    entry->info = nullptr;
    delete entry;
}

class Loader {
  public:
    Loader(RecordReader& reader, Entry* root, uint32_t cap, LoadObserver* observer)
        : reader_(reader), root_(root), cap_(cap), observer_(observer) {}

    // Returns true when the walk stopped at the cap.
    bool run() {
        if (observer_ != nullptr) {
            observer_->loadStarted(reader_.fileSize());
            readStarts_.emplace(0, root_);
        }
        open(root_, 0, true, false);
        bool capped = false;
        const unsigned char* bytes = nullptr;
        while (!frames_.empty()) {
            Frame& frame = frames_.back();
            DirRecord record;
            // A record that cannot be read whole, or at all, ends its listing.
            if (reader_.read(frame.position, &bytes) != 1) {
                close(frame.position == frame.listingStart && frame.position >= reader_.fileSize()
                          ? LISTING_OUTSIDE
                          : LISTING_CUT_SHORT);
                continue;
            }
            record = decodeDirRecord(bytes);
            if (record.type != TYPE_FILE && record.type != TYPE_DIRECTORY) {
                close(LISTING_COMPLETE);
                continue;
            }
            if (records_ == cap_) {
                capped = true;
                break;
            }
            ++records_;
            if (frame.observer != nullptr)
                frame.observer->recordRead(frame.directory, record, frame.position);
            frame.position += DIR_RECORD_SIZE;
            if (record.type == TYPE_FILE) {
                // Whether it is a duplicate is settled later, in bulk.
                append(frame, recordEntryName(record), record.size, record.offset, KIND_FILE);
                continue;
            }

            // A directory record is followed at once, into the child that
            // holds its name already (whatever that child's kind) or into a
            // new one, so duplicates must be settled up to here.
            catchUp(frame);
            std::string name = recordEntryName(record);
            const uint32_t hash = FoldIndex::hashName(name);
            std::vector<Entry*>& children = frame.directory->children;
            const int64_t found = frame.index->find(hash, name, children);
            Entry* target = nullptr;
            if (found >= 0) {
                target = children[static_cast<size_t>(found)];
                if (frame.observer != nullptr)
                    frame.observer->duplicateDropped(frame.directory, name, target);
            } else {
                target = append(frame, std::move(name), record.size, record.offset, KIND_SUBDIR);
                frame.index->insert(hash, static_cast<uint32_t>(frame.indexed++));
            }
            if (activeStarts_.count(record.offset) != 0) {
                // The listing is still being read further up: entering it again
                // would never end, so the directory keeps just its "...".
                if (frame.observer != nullptr)
                    frame.observer->cycleCut(frame.directory, record);
                open(target, record.offset, false, true);
                close(LISTING_COMPLETE);
                continue;
            }
            bool repeat = frame.repeat;
            if (observer_ != nullptr) {
                auto [first, isNew] = readStarts_.emplace(record.offset, target);
                if (!isNew && !frame.repeat) {
                    observer_->listingShared(frame.directory, record, first->second);
                }
                repeat = repeat || !isNew;
            }
            open(target, record.offset, true, repeat);
        }
        // At the cap the listings still open were not read to their ends: what
        // is settled now goes unreported.
        observer_ = nullptr;
        for (Frame& frame : frames_) frame.observer = nullptr;
        while (!frames_.empty()) close(LISTING_CUT_SHORT);
        for (auto& [directory, index] : reentered_) sortChildren(directory->children);
        return capped;
    }

  private:
    // Starts reading the listing at `start` into `directory`; every directory
    // but the root first receives its "..." entry (dropped in due course if
    // the directory has one already).
    void open(Entry* directory, uint64_t start, bool guardStart, bool repeat) {
        Frame frame{};
        frame.directory = directory;
        frame.listingStart = frame.position = start;
        frame.guardsStart = guardStart;
        frame.repeat = repeat;
        frame.observer = repeat ? nullptr : observer_;
        auto known = reentered_.find(directory);
        if (known != reentered_.end()) {
            frame.index = known->second.get();
            frame.indexed = directory->children.size();
        } else if (directory->children.empty()) {
            frame.fresh = true;
        } else {
            // Entered again: keep its index until the load ends, so that
            // entering it many times does not rebuild the index each time.
            auto& index = reentered_[directory];
            index = std::make_unique<FoldIndex>(directory);
            frame.index = index.get();
            frame.indexed = directory->children.size();
        }
        if (guardStart)
            activeStarts_.insert(start);
        frames_.push_back(std::move(frame));
        if (directory != root_)
            append(frames_.back(), "...", 0, 0, KIND_UPDIR);
    }

    void close(ListingEnd how) {
        Frame& frame = frames_.back();
        if (frame.guardsStart)
            activeStarts_.erase(frame.listingStart);
        if (frame.observer != nullptr) {
            const uint64_t end = how == LISTING_COMPLETE
                                     ? frame.position + DIR_RECORD_SIZE
                                     : std::min(frame.position, reader_.fileSize());
            frame.observer->listingRead(frame.directory, frame.listingStart,
                                   std::max(end, frame.listingStart), how);
        }
        if (frame.index == nullptr) {
            // A listing without directory records never needed the index:
            // settle its duplicates and its order in one go.
            dropDuplicatesAndSort(frame.directory->children, dropChild, &frame);
        } else {
            catchUp(frame);
            if (frame.fresh) {
                frame.ownIndex.reset();  // before sorting, to keep the peak of memory low
                sortChildren(frame.directory->children);
            }
        }
        frames_.pop_back();
    }

    // Drops every child appended since the last check whose name an earlier
    // child holds already, keeping the rest in the index.
    void catchUp(Frame& frame) {
        if (frame.index == nullptr) {
            frame.ownIndex = std::make_unique<FoldIndex>();
            frame.index = frame.ownIndex.get();
            frame.indexed = 0;
        }
        std::vector<Entry*>& children = frame.directory->children;
        size_t kept = frame.indexed;
        for (size_t i = frame.indexed; i < children.size(); ++i) {
            Entry* entry = children[i];
            const uint32_t hash = FoldIndex::hashName(entry->name);
            const int64_t found = frame.index->find(hash, entry->name, children);
            if (found >= 0) {
                dropChild(entry, children[static_cast<size_t>(found)], &frame);
                continue;
            }
            children[kept] = entry;
            frame.index->insert(hash, static_cast<uint32_t>(kept));
            ++kept;
        }
        children.resize(kept);
        frame.indexed = kept;
    }

    // Reports a dropped child when the listing is read for the first time, then
    // destroys it. "..." entries are dropped whenever a directory is entered
    // again; they are no record's doing and go unreported.
    static void dropChild(Entry* dropped, const Entry* kept, void* context) {
        const Frame& frame = *static_cast<const Frame*>(context);
        if (frame.observer != nullptr && dropped->kind != KIND_UPDIR)
            frame.observer->duplicateDropped(frame.directory, dropped->name, kept);
        discardEntry(dropped);
    }

    Entry* append(Frame& frame, std::string name, uint32_t size, uint32_t offset, int32_t kind) {
        Entry* entry = new Entry;
        entry->kind = kind;
        entry->name = std::move(name);
        entry->parent = frame.directory;
        entry->size = size;
        entry->info = new EntryInfo;
        entry->info->offset = offset;
        frame.directory->children.push_back(entry);
        return entry;
    }

    RecordReader& reader_;
    Entry* root_;
    uint32_t cap_;
    LoadObserver* observer_;
    uint32_t records_ = 0;
    std::vector<Frame> frames_;
    std::unordered_set<uint64_t> activeStarts_;
    // With an observer: each listing start read so far, and the directory it
    // was read for first.
    std::unordered_map<uint64_t, const Entry*> readStarts_;
    std::unordered_map<Entry*, std::unique_ptr<FoldIndex>> reentered_;
};

}  // namespace

uint32_t loadRecordCap(uint64_t fileSize, uint32_t recordCap) {
    const uint64_t records = fileSize / DIR_RECORD_SIZE + LOAD_SHARED_ALLOWANCE;
    return static_cast<uint32_t>(std::min<uint64_t>(recordCap, records));
}

std::string recordCapText(uint64_t fileSize, uint32_t recordCap) {
    const uint32_t records = loadRecordCap(fileSize, recordCap);
    return "the load stopped after " + std::to_string(records) +
           (records == 1 ? " record" : " records") + ", the most an archive of " + std::to_string(fileSize) +
           (fileSize == 1 ? " byte" : " bytes") + " may hold (one per " +
           std::to_string(DIR_RECORD_SIZE) + " bytes and " +
           std::to_string(LOAD_SHARED_ALLOWANCE) + " more, " + std::to_string(LOAD_ENTRY_CAP) +
           " at most)";
}

bool loadArchiveFrom(const ByteSource& file, Entry* root, uint32_t recordCap,
                     LoadObserver* observer) {
    RecordReader reader(file);
    Loader loader(reader, root, loadRecordCap(file.size(), recordCap), observer);
    return loader.run();
}
