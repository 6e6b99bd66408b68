#include "support/memory_byte_store.h"

#include <algorithm>
#include <cstring>

MemoryByteStore::MemoryByteStore(std::vector<uint8_t> initial, std::shared_ptr<CrashBudget> budget)
    : bytes(std::move(initial)), budget_(std::move(budget)) {
    durable = bytes;
}

int64_t MemoryByteStore::readAt(uint64_t offset, void* buffer, size_t count) const {
    if (offset >= bytes.size())
        return 0;
    const size_t got = static_cast<size_t>(std::min<uint64_t>(count, bytes.size() - offset));
    std::memcpy(buffer, bytes.data() + offset, got);
    return static_cast<int64_t>(got);
}

MemoryByteStore::Fate MemoryByteStore::spend(std::string* why) {
    if (budget_ == nullptr || (!budget_->crashed && budget_->operationsLeft != 0)) {
        if (budget_ != nullptr && budget_->operationsLeft > 0)
            --budget_->operationsLeft;
        return RUN;
    }
    if (why != nullptr)
        *why = "simulated crash";
    if (budget_->crashed)
        return FAIL;
    budget_->crashed = true;
    return TORN;
}

int MemoryByteStore::writeAt(uint64_t offset, const void* data, size_t count, std::string* why) {
    if (writeCalls_++ == failingWrite) {
        if (why != nullptr)
            *why = "simulated write failure";
        return 0;
    }
    const Fate fate = spend(why);
    if (fate == FAIL)
        return 0;
    // The write that meets the crash lands only half.
    const size_t landing = fate == RUN ? count : count / 2;
    if (offset + landing > bytes.size())
        bytes.resize(offset + landing, 0);
    std::memcpy(bytes.data() + offset, data, landing);
    if (fate != RUN)
        return 0;
    ++writes;
    return 1;
}

int MemoryByteStore::setLength(uint64_t length, std::string* why) {
    if (spend(why) != RUN)
        return 0;
    bytes.resize(length, 0);
    return 1;
}

int MemoryByteStore::sync(std::string* why) {
    if (spend(why) != RUN)
        return 0;
    durable = bytes;
    ++syncs;
    return 1;
}
