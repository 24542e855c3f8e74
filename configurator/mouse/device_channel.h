// The one way the configurator talks to the mouse: enumerate its HID interfaces, open each,
// run one memory-protocol operation on it, close it again.
#pragma once

#include <cstdint>
#include <optional>

enum DeviceOperation : int {
    ReadProfile = 0,
    WriteProfile = 1,
    QueryCurrentProfile = 2,
    SelectProfile = 3,
    ReadHeader = 4,
    WriteHeader = 5,
};

// The mouse's USB ids as program settings ("F1D0", "0084"); constant in the programs, only
// tests change them. The walk
// matches "VID_%s&PID_%s" made from them; the arrival filter uses them too.
inline constexpr int kSettingFieldCount = 256;
extern wchar_t vendorId[kSettingFieldCount];
extern wchar_t productId[kSettingFieldCount];

// What the presence check looks for, whatever vendorId and productId say.
inline constexpr const wchar_t* kPresenceText = L"Vid_F1D0&Pid_0084";

// What a walk reports. `whole`: for a read, the interface opened last (whose result the
// block holds) delivered every page; for a write, at least one interface took every page;
// for a query or select, an interface was opened. False when no interface opened.
// `activeProfile`: QueryCurrentProfile's answer, that of the interface opened last; nothing
// for other operations or when no interface opened.
struct DeviceResult {
    bool whole = false;
    std::optional<int32_t> activeProfile;
    explicit operator bool() const { return whole; }
};

// Runs the operation on every matching HID interface that opens for reading and writing.
// `block` (kBlockLength bytes) is what ReadProfile and ReadHeader fill and what WriteProfile
// and WriteHeader send; query and select need none. A block operation without a block
// opens nothing and is not whole.
DeviceResult RunDeviceOperation(int operation, int argument, uint8_t* block = nullptr);
// The active profile as the mouse answers it: RunDeviceOperation(QueryCurrentProfile)'s answer.
std::optional<int32_t> QueryMouseProfile();
// True when any HID interface of the mouse is present; opens nothing.
bool IsMousePresent();

// Held by every walk of every TarnDesk process of the log-on session for the walk's length,
// so their reports never interleave on the mouse. Windows: the named mutex below, waited for
// at most kTransferLockWaitMs (a walk is a few seconds at most; a holder that hangs longer
// makes our walk send nothing and report failure rather than hang this program too).
inline constexpr wchar_t kTransferLockName[] = L"Local\\TarnDeskMouseTransfer";
inline constexpr uint32_t kTransferLockWaitMs = 30000;
// Taken through the installed system seams; without them there is no other process to share
// the mouse with, and the lock is always held.
class TransferLockSeam;
class MouseTransferLock {
  public:
    // Waits at most `waitMs` for the lock; 0 only tries (a caller that can come back later).
    explicit MouseTransferLock(uint32_t waitMs = kTransferLockWaitMs);
    ~MouseTransferLock();
    MouseTransferLock(const MouseTransferLock&) = delete;
    MouseTransferLock& operator=(const MouseTransferLock&) = delete;
    bool Held() const { return held_; }

  private:
    TransferLockSeam* seam_;
    void* lock_;
    bool held_;
};

// Case-insensitive (ASCII) substring test, as the walk compares device paths.
bool PathContains(const wchar_t* path, const wchar_t* text);
