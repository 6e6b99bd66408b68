// The working state of one plan: the listing map as the change leaves it,
// the free space still to be had, and the data writes made so far. The
// requests (editor.cpp) change the map through the steps declared here;
// finish() turns it into the writes of an EditPlan.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "archive/edit_plan.h"
#include "archive/edit_verify.h"
#include "archive/editor.h"
#include "archive/layout.h"
#include "archive/listing_map.h"

class EditPlanner {
  public:
    // Reads the listings of `archive`. Returns 1, or 0 with `*why`.
    int start(const ByteSource& archive, std::string* why);

    // Makes one request on top of those before it. Returns 1, or 0 with
    // `*why`; the planner is then not to be used further. `later` are the
    // requests that follow it (to size the room a growing root listing needs).
    int apply(const EditRequest& request, const EditRequest* later, size_t laterCount,
              std::string* why);

    // Writes the plan the requests made into `*plan` (description aside).
    void finish(EditPlan* plan);

    const std::vector<ExpectedChange>& expected() const { return expected_; }
    const std::vector<std::string>& notes() const { return notes_; }

  private:
    // Requests.
    int replace(const EditRequest& request, ModelNode* node, std::string* why);
    int remove(const EditRequest& request, ModelNode* node, std::string* why);
    int rename(const EditRequest& request, ModelNode* node, std::string* why);
    int make(const EditRequest& request, const EditRequest* later, size_t laterCount,
             std::string* why);

    // Space and listings (plan_space.cpp).
    // Makes the reading's listing safe to change for its directory alone,
    // copying it first when anything else reads its bytes. Returns it, or null with `*why`.
    Listing* writable(Reading* reading, std::string* why);
    // Points the directory record that led to `reading` at `start`.
    int repoint(Reading* reading, uint64_t start, std::string* why);
    // Tells the check that the listing of `directory` changes though none of
    // its entries does (a record the loader drops there was repointed).
    void listingChanged(const ModelNode* directory);
    // Whether record `index` of the reading is one the loader drops.
    static bool dropped(const Reading* reading, uint32_t index);
    // Gives the reading's listing room for one more record. Returns it, or null with `*why`.
    // `rootRecords` is asked, only when the root listing must make room, for how many
    // records to make it.
    Listing* grow(Reading* reading, const std::function<uint64_t()>& rootRecords, std::string* why);
    // Moves what lies right after the root listing so that it can take `records` more.
    int makeRootRoom(uint64_t records, std::string* why);
    // Marks the listing as changed where it lies (records about to be added
    // at its end), remembering how it was read.
    void touch(Listing* listing);
    // Remembers record `index` as read before it is changed in place.
    void touchRecord(Listing* listing, uint32_t index);
    // Remembers every record as read before records move within the listing.
    void shift(Listing* listing);
    // Takes `length` bytes for new data or a listing, refusing past 4 GiB.
    int allocate(uint64_t length, bool alignLarge, uint64_t* place, std::string* why);
    // Every live reading's listing, each once.
    std::vector<Listing*> liveListings();

    // Removes record `index` from the reading's (writable) listing.
    void eraseRecord(Reading* reading, uint32_t index);
    // Marks everything read through `node` as gone.
    void bury(ModelNode* node);
    // The exact names from below the root down to `node`.
    std::vector<std::string> namesOf(const ModelNode* node) const;
    // Adds the data write for new data of `size` bytes and says where it goes.
    int placeData(const EditRequest& request, uint64_t size, const DirRecord* current,
                  uint64_t* place, std::string* why);

    ListingMap map_;
    std::unique_ptr<SpaceAllocator> space_;
    std::vector<EditWrite> dataWrites_;
    std::vector<ExpectedChange> expected_;
    std::vector<std::string> notes_;
    std::unordered_set<const ModelNode*> changedListings_;
    uint64_t movedForRoot_ = 0;
};

// Whether every byte of [start, end) fits the format's 32-bit offsets and sizes.
bool fitsBelowLimit(uint64_t start, uint64_t end);
