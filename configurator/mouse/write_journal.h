// The crash-safe write path's record: before the first report of a write sequence, what is
// about to be written (which areas, the new content, a sequence number) is kept durably beside
// the cache, and cleared once every block reached the mouse. A record found later means a
// write was cut off (a crash, a kill, a power loss): it is finished before anything else is
// read or written, so no area stays torn.
#pragma once

#include "model/memory_image.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

// The memory areas: 0 the header, 1..5 profiles 0..4.
inline constexpr int kHeaderAreaNumber = 0;
inline constexpr int AreaOfProfile(int profile) {
    return profile + 1;
}

struct PendingWrite {
    uint32_t sequence = 0;
    // False when the record itself was cut off while it was being made: then no report of its
    // write was sent yet, and only the areas it names are known.
    bool complete = true;
    // Area and new content, in the order they are written.
    std::vector<std::pair<int, MemoryBlock>> areas;
};

// Where the record is kept, and what the program knows of the cache beside it.
class WriteJournal {
  public:
    virtual ~WriteJournal() = default;
    // Keeps `write` durably; false when it could not (then the write must not start).
    virtual bool Record(const PendingWrite& write) = 0;
    // The record of a write that did not end; nothing when every write ended.
    virtual std::optional<PendingWrite> Pending() = 0;
    virtual void Clear() = 0;
    // The last content of `area` known to be in the mouse (what the cache holds), for a record
    // that was cut off itself.
    virtual std::optional<MemoryBlock> LastVerified(int area) = 0;
    // The recovery wrote `block` into `area` and read it back equal.
    virtual void Verified(int area, const MemoryBlock& block) = 0;
    // A hold in which a write sequence or a recovery reached the mouse is ending (its cache
    // stores are done): what the mouse holds changed.
    virtual void Written() {}
};

// Kept in memory only: for tests and for builds without a registry.
class MemoryJournal final : public WriteJournal {
  public:
    bool Record(const PendingWrite& write) override {
        pending = write;
        return recordWorks;
    }
    std::optional<PendingWrite> Pending() override { return pending; }
    void Clear() override { pending.reset(); }
    std::optional<MemoryBlock> LastVerified(int area) override {
        return lastVerified[size_t(area)];
    }
    void Verified(int area, const MemoryBlock& block) override {
        lastVerified[size_t(area)] = block;
    }
    void Written() override { ++writes; }

    std::optional<PendingWrite> pending;
    std::optional<MemoryBlock> lastVerified[kImageBlockCount];
    bool recordWorks = true;
    int writes = 0;
};
