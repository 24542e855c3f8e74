// What the configurator needs from the mouse's HID interfaces, as one small interface: list
// the present HID interface paths in order, open one for reading and writing, exchange
// feature reports on it, close it. The system's own walks SetupDi and opens with CreateFileW
// (hid_interfaces_win.cpp); tests and benchmarks hand a session the simulated mouse
// (simulators/mouse) instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

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

// Windows' own: the SetupDi walk, CreateFileW and the HidD feature reports.
std::unique_ptr<MouseInterfaceSet> CreateSystemMouseInterfaces();
