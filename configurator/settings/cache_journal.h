// The crash-safe write path's record, kept in the registry beside the cache, and the change
// counter every TarnDesk process bumps when it has written the mouse, so a running tray never
// writes from a copy older than the mouse's last change.
#pragma once

#include "mouse/write_journal.h"

#include <cstdint>

// HKEY_CURRENT_USER keys and values, beside the cache.
// Beside the cache's key, not below it: a cache that cannot be written must not stop the record.
inline constexpr wchar_t kPendingWriteKeyPath[] = L"Software\\Orvane\\Gaming\\PendingWrite";
inline constexpr wchar_t kMemoryChangesValueName[] = L"MemoryChanges";
inline constexpr wchar_t kMemoryChangedByValueName[] = L"MemoryChangedBy"; // the process
// Posted to the tray's window by a TarnDesk process that wrote the mouse; wParam: its process.
inline constexpr wchar_t kMemoryChangedMessageName[] = L"TarnDeskMemoryChanged";

// The record in the registry: one key holding the areas in order, their new content, a
// sequence number and, written last, the mark that the record is whole.
class CacheJournal final : public WriteJournal {
  public:
    bool Record(const PendingWrite& write) override;
    std::optional<PendingWrite> Pending() override;
    void Clear() override;
    // What the cache holds whole for the area.
    std::optional<MemoryBlock> LastVerified(int area) override;
    // Stores the read-back block in the cache.
    void Verified(int area, const MemoryBlock& block) override;
    // Counts a change of the mouse and tells the other TarnDesk processes.
    void Written() override;
};

// The count of writes of the mouse by any TarnDesk process of this user (0 when none yet),
// and the process that made the last one.
uint32_t MemoryChanges();
uint32_t LastMemoryChanger();
// Counts one more and posts kMemoryChangedMessageName to every top-level window, so a running
// tray of another process hears it. Call under the transfer lock.
uint32_t CountMemoryChange();
