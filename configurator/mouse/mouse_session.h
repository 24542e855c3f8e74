// One session with the mouse: the machine's HID interfaces, the pacing wait and the transfer
// lock, and the one way the configurator talks to the mouse through them: enumerate its HID
// interfaces, open each, run one memory-protocol operation on it, close it again.
#pragma once

#include "hid_interfaces.h"
#include "model/memory_image.h"
#include "pacing_wait.h"
#include "transfer_lock.h"
#include "write_history.h"
#include "write_journal.h"

#include <cstdint>
#include <cwchar>
#include <functional>
#include <optional>
#include <string>
#include <vector>

enum DeviceOperation : int {
    ReadProfile = 0,
    WriteProfile = 1,
    QueryCurrentProfile = 2,
    SelectProfile = 3,
    ReadHeader = 4,
    WriteHeader = 5,
};

// The mouse's USB ids ("F1D0", "0084"); the walk matches "VID_%s&PID_%s" made from them and
// the arrival filter uses them too. Constant in the programs; tests may ask for others.
struct DeviceIds {
    std::wstring vendorId = L"F1D0";
    std::wstring productId = L"0084";
};

// An id of DeviceIds as its number ("F1D0" -> 0xF1D0), as files record it.
inline uint16_t IdValue(const std::wstring& text) {
    return static_cast<uint16_t>(std::wcstoul(text.c_str(), nullptr, 16));
}

// What the presence check looks for, whatever the ids say.
inline constexpr const wchar_t* kPresenceText = L"Vid_F1D0&Pid_0084";

// What a walk reports. `whole`: for a read, the interface opened last (whose result the
// block holds) delivered every page; for a write, at least one interface took every page;
// for a query or select, an interface was opened. False when no interface opened.
// `activeProfile`: QueryCurrentProfile's answer, that of the interface opened last; nothing
// for other operations or when no interface opened.
struct DeviceResult {
    bool whole = false;
    // An interface of the mouse was opened: something may have reached it.
    bool opened = false;
    std::optional<int32_t> activeProfile;
    explicit operator bool() const { return whole; }
};

class MouseSession;
struct MouseLink;

// A hold of the transfer lock for a sequence of operations that belong together. The
// outermost hold of a session finishes a write that an earlier holder left cut off before
// anything else reaches the mouse.
class SessionHold {
  public:
    SessionHold(SessionHold&& other) noexcept;
    SessionHold(const SessionHold&) = delete;
    SessionHold& operator=(const SessionHold&) = delete;
    SessionHold& operator=(SessionHold&&) = delete;
    ~SessionHold();
    bool Held() const { return lock_.Held(); }

  private:
    friend class MouseSession;
    SessionHold(MouseSession& session, uint32_t waitMs);
    MouseSession* session_;
    MouseTransferLock lock_;
};

// What a crash-safe write sequence did.
struct WriteOutcome {
    // Every block reached the mouse whole.
    bool whole = false;
    // Per block of the sequence, in its order.
    std::vector<bool> blockWhole;
    // The record could not be kept, so nothing was sent.
    bool notRecorded = false;
    // The memory it would replace could not be kept in the history, so nothing was sent.
    bool notKept = false;
    std::wstring keepProblem; // why
};

class MouseSession {
  public:
    MouseSession(MouseInterfaceSet& interfaces, PacingWait& wait, TransferLock& lock,
                 DeviceIds ids = {})
        : interfaces_(interfaces), wait_(wait), lock_(lock), ids_(std::move(ids)) {}
    MouseSession(const MouseSession&) = delete;
    MouseSession& operator=(const MouseSession&) = delete;

    // Runs the operation on every matching HID interface that opens for reading and writing,
    // under the transfer lock. `block` (kBlockLength bytes) is what ReadProfile and ReadHeader
    // fill and what WriteProfile and WriteHeader send; query and select need none. A block
    // operation without a block opens nothing and is not whole.
    DeviceResult RunDeviceOperation(int operation, int argument, uint8_t* block = nullptr);

    // The same, typed. A read fills the block even when it is not whole (zeros where nothing
    // arrived); true when the block moved whole.
    bool ReadProfile(int profile, ProfileBlock& block);
    bool WriteProfile(int profile, const ProfileBlock& block);
    bool ReadHeader(HeaderBlock& block);
    bool WriteHeader(const HeaderBlock& block);
    // The active profile as the mouse answers it; nothing when no interface opened.
    std::optional<int32_t> QueryProfile();
    void Select(int profile);
    // True when any HID interface of the mouse is present; opens nothing.
    bool IsMousePresent();

    // Holds the transfer lock for a sequence of operations that belong together, so no other
    // TarnDesk comes between them (each walk takes it again, which its holder may). Waits at
    // most `waitMs`; 0 only tries.
    SessionHold Hold(uint32_t waitMs = kTransferLockWaitMs) { return SessionHold(*this, waitMs); }

    // The crash-safe write path: where write sequences are recorded. Without a journal writes
    // are not recorded and nothing is recovered.
    void UseJournal(WriteJournal* journal) { journal_ = journal; }
    // Where the memory a write sequence replaces is kept first; without one it is not kept.
    void UseHistory(WriteHistory* history) { history_ = history; }
    // Writes the blocks of `write` (in its order) as one sequence: recorded before the first
    // report, the record cleared once every block reached the mouse whole. A block that did
    // not, when the mouse took part of it, leaves the record, so the next hold finishes the
    // write. Call under a hold.
    // `written`, when given, hears of each block as soon as it went (its index in the sequence
    // and whether it reached the mouse whole), before the next block's first report.
    WriteOutcome WriteSequence(PendingWrite write,
                               const std::function<void(size_t, bool)>& written = {});
    // Brings the mouse's report stream back to a page boundary after a transfer was cut off;
    // see the definition for why it cannot write into a page it does not mean to.
    void Resync();
    // Finishes the recorded write, or rewrites the last verified content of the areas of a
    // record that was itself cut off, and reads each back. True when nothing is left to do.
    bool Recover(const PendingWrite& pending);
    // A pause that paces the mouse as the reports do (between a write and a select).
    void Pause(uint32_t milliseconds) { wait_.Wait(milliseconds); }

    const DeviceIds& Ids() const { return ids_; }

  private:
    friend class SessionHold;
    friend class ChangeScope;
    void OnOutermostHold(bool tookOverAbandoned);
    // Every matching HID interface that opens for reading and writing, one after the other in
    // enumeration order, open for the call.
    void Walk(const std::function<void(const MouseLink&)>& each);

    MouseInterfaceSet& interfaces_;
    PacingWait& wait_;
    TransferLock& lock_;
    DeviceIds ids_;
    WriteJournal* journal_ = nullptr;
    WriteHistory* history_ = nullptr;
    // The change under way (see ChangeScope) and whether its memory was kept already.
    const ChangeReason* change_ = nullptr;
    bool changeKept_ = false;
    int holdDepth_ = 0;
    // A write of the current outermost hold reached the mouse; told when the hold ends.
    bool wroteDuringHold_ = false;
    uint32_t nextSequence_ = 1;
};

// Names the change the write sequences of its scope make, so the history keeps the memory
// before the first of them once: a change written in more than one sequence (a detail dialog
// writes its profile twice) is one step back. The outermost scope names the change.
class ChangeScope {
  public:
    ChangeScope(MouseSession& session, ChangeCause cause, int profile = -1);
    ~ChangeScope();
    ChangeScope(const ChangeScope&) = delete;
    ChangeScope& operator=(const ChangeScope&) = delete;

  private:
    MouseSession& session_;
    ChangeReason reason_;
    bool outermost_;
};

// Case-insensitive (ASCII) substring test, as the walk compares device paths.
bool PathContains(const wchar_t* path, const wchar_t* text);
