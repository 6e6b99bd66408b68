// The editor's last check must refuse plans that would hurt the archive,
// whatever mistake made them: each row spoils a sound plan one way.
#include "archive/edit_verify.h"

#include <gtest/gtest.h>

#include <functional>

#include "archive/record.h"
#include "edit_fixture.h"
#include "support/archive_fixture.h"
#include "support/memory_byte_store.h"
#include "support/temp_dir.h"

namespace {

TEST(EditVerify, SpoiledPlansAreRefused) {
    const std::vector<uint8_t> archive = archiveBytes(
        archiveDirectory("", {archiveFile("KEEP", "keep these"), archiveFile("OLD", "old data"),
                              archiveDirectory("DIR", {archiveFile("IN", "inside")})}));
    const TreeState before = treeOf(archive);
    const uint32_t keep = before.at("KEEP").offset;
    const EditRequest request = replaceWith("OLD", "new data, longer than before");
    const std::vector<EditRequest> requests{request};
    MemoryByteStore store(archive);
    EditPlan sound;
    std::string why;
    ASSERT_EQ(planArchiveEdit(store, requests, &sound, &why), 1) << why;
    std::vector<ExpectedChange> expected{{EXPECT_NEW_DATA, {"OLD"}, "", 28, &requests[0]}};
    ASSERT_EQ(verifyEditPlan(store, sound, expected, &why), 1) << why;

    auto patch = [](uint64_t offset, std::vector<uint8_t> bytes) {
        EditWrite write;
        write.offset = offset;
        write.length = bytes.size();
        write.phase = EDIT_PHASE_PATCH;
        write.bytes = std::move(bytes);
        return write;
    };
    struct Row {
        const char* says;
        std::function<void(EditPlan&)> spoil;
    };
    const Row rows[] = {
        {"data of 'KEEP'", [&](EditPlan& plan) { plan.writes.push_back(patch(keep + 2, {'!'})); }},
        {"new data of 'OLD'", [](EditPlan& plan) { plan.writes.front().bytes[0] ^= 1; }},
        {"size of 'DIR/IN'",
         [&](EditPlan& plan) {
             // IN's size field, in DIR's listing.
             plan.writes.push_back(patch(before.at("DIR").offset + DIR_SIZE_OFFSET, {9}));
         }},
        {"listing of 'DIR'",
         [&](EditPlan& plan) {
             // Even the bytes it holds already: nothing may write there.
             const uint32_t at = before.at("DIR").offset;
             plan.writes.push_back(patch(at, {archive[at]}));
         }},
        {"after a patch",
         [](EditPlan& plan) { std::swap(plan.writes.front(), plan.writes.back()); }},
        {"past 4 GiB",
         [](EditPlan& plan) {
             plan.writes.front().offset = 0xFFFFFFF0ull;
             plan.newLength = 0x100000100ull;
         }},
        {"past the new length", [](EditPlan& plan) { plan.newLength -= 1; }},
        {"would stand where", [&](EditPlan& plan) { plan.writes.push_back(patch(0, {'k'})); }},
    };
    for (const Row& row : rows) {
        EditPlan spoiled = sound;
        row.spoil(spoiled);
        std::string fault;
        EXPECT_EQ(verifyEditPlan(store, spoiled, expected, &fault), 0) << row.says;
        EXPECT_NE(fault.find(row.says), std::string::npos) << row.says << ": " << fault;
    }
}

// New data read from a file lands right after the listings of a small
// archive, within the loader's read-ahead: the check does not read that
// file, and must not mistake the read-ahead for a listing lying there.
TEST(EditVerify, DataFromAFileMayLieRightAfterTheListings) {
    TempDir dir;
    const std::string data = dir.write("new.map", std::vector<uint8_t>(5000, 'n'));
    const std::vector<uint8_t> archive = archiveBytes(archiveDirectory(
        "", {archiveFile("README.TXT", "hello"),
             archiveDirectory("MAPS", {archiveFile("E1M1.MAP", "map one")})}));
    EditRequest request;
    request.operation = EDIT_REPLACE;
    request.path = "MAPS/E1M1.MAP";
    request.source = EDIT_SOURCE_HOST_FILE;
    request.hostPath = data;
    request.hostSize = 5000;
    MemoryByteStore store(archive);
    EditPlan plan;
    std::string why;
    EXPECT_EQ(planArchiveEdit(store, {request}, &plan, &why), 1) << why;
}

}  // namespace
