// An in-memory ByteStore for the tests of changing archives, which can be made
// to crash: after a given number of writes, length changes and syncs, the
// next one fails half done and every later one fails, as if the machine had
// stopped there. What survives such a crash is either everything written
// (`bytes`) or only what the last sync made durable (`durable`); tests
// recover from both.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/byte_store.h"

// Operations left before a crash, shared by the stores of one simulated
// machine (an archive and its journal), so that one count spans both.
struct CrashBudget {
    int64_t operationsLeft = -1;  // -1: never crash
    bool crashed = false;
};

class MemoryByteStore : public ByteStore {
  public:
    explicit MemoryByteStore(std::vector<uint8_t> initial = {},
                             std::shared_ptr<CrashBudget> budget = nullptr);

    uint64_t size() const override { return bytes.size(); }
    int64_t readAt(uint64_t offset, void* buffer, size_t count) const override;
    int writeAt(uint64_t offset, const void* data, size_t count, std::string* why) override;
    int setLength(uint64_t length, std::string* why) override;
    int sync(std::string* why) override;

    std::vector<uint8_t> bytes;    // what reads see now
    std::vector<uint8_t> durable;  // what the last sync made durable
    int writes = 0;                // writeAt calls that succeeded
    int syncs = 0;                 // sync calls that succeeded
    // When not -1: the writeAt call of this number (0 for the first) fails
    // with nothing written, as on a full disk, and the store goes on working.
    int failingWrite = -1;

  private:
    enum Fate { RUN, TORN, FAIL };
    // Whether the operation runs, is the one the crash tears, or fails after it.
    Fate spend(std::string* why);
    std::shared_ptr<CrashBudget> budget_;
    int writeCalls_ = 0;
};
