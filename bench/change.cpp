// Changing a big archive in place costs what the change writes, not the
// archive: replacing a 1 MB file of a 4 GB archive, and undoing that, each
// against copying the whole archive (cp, every byte written, then synced as a
// change is) in the same run. Targets: each at most 0.02 of the copy. Also
// how many bytes the replace reads (the listings and what it writes).
//
// The archive is sparse where nothing reads it: its listing and the 1 MB
// file are real bytes, the rest a second file of holes.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "archive/change.h"
#include "archive/record.h"

namespace {

namespace fs = std::filesystem;

constexpr uint64_t ARCHIVE_SIZE = 0xFFFF0000ull;  // just under 4 GiB
constexpr uint64_t SMALL_OFFSET = 4096;
constexpr uint64_t SMALL_SIZE = 1 << 20;
constexpr int ROUNDS = 5;
constexpr double TARGET = 0.02;

std::vector<uint8_t> randomBytes(size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(count);
    for (uint8_t& byte : bytes) byte = uint8_t(random());
    return bytes;
}

void putRecord(std::vector<uint8_t>& listing, const char* name, uint32_t size, uint32_t offset) {
    DirRecord record;
    std::snprintf(record.name, sizeof record.name, "%s", name);
    record.type = TYPE_FILE;
    record.size = size;
    record.offset = offset;
    listing.resize(listing.size() + DIR_RECORD_SIZE);
    encodeDirRecord(record, listing.data() + listing.size() - DIR_RECORD_SIZE);
}

void makeArchive(const std::string& path) {
    std::vector<uint8_t> listing;
    putRecord(listing, "SMALL.BIN", SMALL_SIZE, SMALL_OFFSET);
    const uint64_t hugeOffset = SMALL_OFFSET + SMALL_SIZE;
    putRecord(listing, "HUGE.BIN", uint32_t(ARCHIVE_SIZE - hugeOffset), uint32_t(hugeOffset));
    listing.resize(listing.size() + DIR_RECORD_SIZE);
    encodeDirRecord(DirRecord{}, listing.data() + listing.size() - DIR_RECORD_SIZE);
    const std::vector<uint8_t> small = randomBytes(SMALL_SIZE, 1);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(listing.data()), std::streamsize(listing.size()));
        out.seekp(std::streamoff(SMALL_OFFSET));
        out.write(reinterpret_cast<const char*>(small.data()), std::streamsize(small.size()));
    }
    fs::resize_file(path, ARCHIVE_SIZE);
}

double secondsOf(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Bytes this process has read through system calls so far.
uint64_t bytesRead() {
    std::ifstream io("/proc/self/io");
    std::string key;
    uint64_t value = 0;
    while (io >> key >> value) {
        if (key == "rchar:")
            return value;
    }
    return 0;
}

void fail(const std::string& what, const std::string& why) {
    std::fprintf(stderr, "bench_change: %s: %s\n", what.c_str(), why.c_str());
    std::exit(1);
}

// Replaces SMALL.BIN with the file at `data`: through the editor when it is
// there, else through the same in-place plan applied directly.
void replace(const std::string& archive, const std::string& data) {
    ChangeReport report;
    EditRequest request;
    request.operation = EDIT_REPLACE;
    request.path = "SMALL.BIN";
    request.source = EDIT_SOURCE_HOST_FILE;
    request.hostPath = data;
    request.hostSize = SMALL_SIZE;
    if (changeArchive(archive, {request}, ChangeOptions{}, &report))
        return;
    if (report.why != "changing archives is not built yet")
        fail("replace", report.why);
    EditPlan plan;
    plan.description = "replace SMALL.BIN";
    plan.oldLength = plan.newLength = ARCHIVE_SIZE;
    EditWrite write;
    write.offset = SMALL_OFFSET;
    write.length = SMALL_SIZE;
    write.source = EDIT_SOURCE_HOST_FILE;
    write.hostPath = data;
    plan.writes.push_back(write);
    report = ChangeReport{};
    if (!applyArchivePlan(archive, plan, ChangeOptions{}, &report))
        fail("replace", report.why);
}

void row(const char* name, double seconds, double copy) {
    const double ratio = seconds / copy;
    std::printf("%-40s %8.4f s %8.4fx  (target <= %.2fx) %s\n", name, seconds, ratio, TARGET,
                ratio <= TARGET ? "ok" : "OVER");
}

}  // namespace

int main() {
    const char* base = std::getenv("TMPDIR");
    const fs::path work =
        fs::path(base != nullptr && *base != '\0' ? base : "/tmp") / "dirrip-bench-change";
    fs::remove_all(work);
    fs::create_directories(work);
    const std::string archive = (work / "big.dir").string();
    const std::string copy = (work / "copy.dir").string();
    const std::string data = (work / "new.bin").string();
    makeArchive(archive);
    {
        const std::vector<uint8_t> bytes = randomBytes(SMALL_SIZE, 2);
        std::ofstream(data, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    const std::string command =
        "cp --sparse=never '" + archive + "' '" + copy + "' && sync '" + copy + "'";
    const double copySeconds = secondsOf([&] {
        if (std::system(command.c_str()) != 0)
            fail("cp", "failed");
    });
    fs::remove(copy);

    double bestReplace = 1e9, bestUndo = 1e9;
    uint64_t replaceRead = 0;
    for (int round = 0; round < ROUNDS; ++round) {
        const uint64_t before = bytesRead();
        bestReplace = std::min(bestReplace, secondsOf([&] { replace(archive, data); }));
        replaceRead = bytesRead() - before;
        bestUndo = std::min(bestUndo, secondsOf([&] {
                                ChangeReport report;
                                if (!undoArchiveChange(archive, ChangeOptions{}, &report))
                                    fail("undo", report.why);
                            }));
    }
    std::printf("%-40s %8.4f s\n", "cp of the 4 GB archive, synced", copySeconds);
    row("replace 1 MB in it", bestReplace, copySeconds);
    row("undo of that", bestUndo, copySeconds);
    std::printf("%-40s %8.2f MB (the listing, the old and the new 1 MB)\n", "read by one replace",
                double(replaceRead) / (1 << 20));
    fs::remove_all(work);
    return 0;
}
