// What the configurator needs from the mouse's HID interfaces, as one small interface: list
// the present HID interface paths in order, open one for reading and writing, exchange
// feature reports on it, close it. The production implementation walks SetupDi and opens
// with CreateFileW (device_channel_win.cpp); tests and benchmarks install a simulated mouse
// (simulators/mouse) through `mouseInterfaces`.
#pragma once

#include <cstddef>
#include <cstdint>

// Longest device path the walk handles, in characters with the terminator. Longer paths are
// skipped like any interface whose path cannot be fetched.
inline constexpr size_t kMaxDevicePath = 1024;

// What a walk is for: the device walk asks HidD_GetHidGuid for the class, the presence check
// uses the constant GUID_DEVINTERFACE_HID (the same value).
enum class EnumerationPurpose { DeviceWalk, PresenceCheck };

enum class InterfaceEntry {
    End,  // no member n: the enumeration is over
    Skip, // member n exists but its interface path could not be fetched
    Path, // the path of interface n is in the caller's buffer
};

// An open interface; opaque to the protocol (a HANDLE in production).
using MouseHandle = void*;

class MouseInterfaceSet {
  public:
    virtual ~MouseInterfaceSet() = default;

    // Starts one enumeration of the present HID interfaces. False: nothing is present.
    virtual bool BeginEnumeration(EnumerationPurpose purpose) = 0;
    // Member n (0, 1, 2, ... until End). On Path, `path` holds a terminated device path.
    virtual InterfaceEntry InterfaceAt(uint32_t n, wchar_t* path, size_t capacity) = 0;
    // Ends the enumeration started by BeginEnumeration.
    virtual void EndEnumeration() = 0;

    // Opens a path for reading and writing, shared, synchronous. False: not openable.
    virtual bool Open(const wchar_t* path, MouseHandle* handle) = 0;
    // HidD_SetFeature / HidD_GetFeature on an open interface. False: the transfer failed.
    virtual bool SetFeature(MouseHandle handle, const uint8_t* report, uint32_t length) = 0;
    virtual bool GetFeature(MouseHandle handle, uint8_t* report, uint32_t length) = 0;
    virtual void Close(MouseHandle handle) = 0;
};

// The interfaces every device walk and presence check goes through. Owned by
// device_channel.cpp; null (the initial value) means the installed system seams' interfaces.
// Tests and benchmarks point it at a simulated mouse and set it back to null when done; the
// programs never change it.
extern MouseInterfaceSet* mouseInterfaces;

class PacingWait;

// The session-wide lock of the mouse's transfers (the named mutex kTransferLockName on
// Windows). Acquire waits at most `waitMs` and returns what Release takes back, or null when
// the lock stayed with another holder.
class TransferLockSeam {
  public:
    virtual ~TransferLockSeam() = default;
    virtual void* Acquire(uint32_t waitMs) = 0;
    virtual void Release(void* held) = 0;
};

// What the machine itself provides for talking to the mouse. Each program's entry point
// installs the system's own once, before anything talks to the mouse; tests that need the
// real ones install them the same way. Until then the walk sees no HID interfaces, shares
// the mouse with no other process, and waits on the standard library's steady clock.
struct SystemSeams {
    MouseInterfaceSet* interfaces = nullptr;
    PacingWait* wait = nullptr;
    TransferLockSeam* lock = nullptr;
};
// Written only here, read by the walk and the memory protocol (owned by device_channel.cpp).
void InstallSystemSeams(const SystemSeams& seams);
const SystemSeams& InstalledSystemSeams();

// Windows' own (glue): SetupDi/HidD/CreateFileW, the high-resolution timer wait, the mutex.
MouseInterfaceSet& SystemMouseInterfaces();
TransferLockSeam& SystemTransferLock();
SystemSeams WindowsSeams();
