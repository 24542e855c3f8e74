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

// The mouse's USB ids as program settings ("F1D0", "0084"); nothing changes them. The walk
// matches "VID_%s&PID_%s" made from them; the arrival filter uses them too.
inline constexpr int kSettingLength = 256;
extern wchar_t vendorId[kSettingLength];
extern wchar_t productId[kSettingLength];

// What the presence check looks for, whatever vendorId and productId say.
inline constexpr const wchar_t* kPresenceText = L"Vid_F1D0&Pid_0084";

// The profile the Settings dialog shows and edits (0..4, or 5 in the mouse's basic state).
extern int32_t currentProfile;

// Runs the operation on every matching HID interface that opens for reading and writing.
// Returns whether its result is whole: for a read, the interface opened last (whose result
// the buffer holds) delivered every page; for a write, at least one interface took every
// page; for a query or select, an interface was opened. False when no interface opened.
// QueryCurrentProfile answers through currentProfile; QueryMouseProfile returns the answer
// instead and leaves currentProfile alone.
bool RunDeviceOperation(int operation, int argument);
// The active profile as the mouse answers it (the interface opened last decides); nothing
// when no interface opened.
std::optional<int32_t> QueryMouseProfile();
// True when any HID interface of the mouse is present; opens nothing.
bool IsMousePresent();

// Held by every walk of every TarnDesk process of the log-on session for the walk's length,
// so their reports never interleave on the mouse. Windows: the named mutex below, waited for
// at most kTransferLockWaitMs (a walk is a few seconds at most; a holder that hangs longer
// makes our walk send nothing and report failure rather than hang this program too).
inline constexpr wchar_t kTransferLockName[] = L"Local\\TarnDeskMouseTransfer";
inline constexpr uint32_t kTransferLockWaitMs = 30000;
class MouseTransferLock {
  public:
    // Waits at most `waitMs` for the lock; 0 only tries (a caller that can come back later).
    explicit MouseTransferLock(uint32_t waitMs = kTransferLockWaitMs);
    ~MouseTransferLock();
    MouseTransferLock(const MouseTransferLock&) = delete;
    MouseTransferLock& operator=(const MouseTransferLock&) = delete;
    bool Held() const { return held_; }

  private:
    [[maybe_unused]] void* mutex_; // the posix stand-in's lock has no mutex
    bool held_;
};

// Case-insensitive (ASCII) substring test, as the walk compares device paths.
bool PathContains(const wchar_t* path, const wchar_t* text);
