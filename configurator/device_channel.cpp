// The device walk over the HID interface set: every interface whose path names the mouse's
// vendor and product id and that opens for reading and writing gets the whole operation, one
// after the other in enumeration order. Windows-free; the SetupDi/HidD side is
// device_channel_win.cpp, the simulated mouse lives under simulators/mouse.
#include "device_channel.h"

#include "memory_protocol.h"
#include "mouse_firmware.h"
#include "profile_record.h"

#include <cwchar>

// Process-wide state owned here (declared in device_channel.h and mouse_firmware.h).
wchar_t vendorId[kSettingLength] = L"F1D0";
wchar_t productId[kSettingLength] = L"0084";
int32_t currentProfile = 0;
MouseInterfaceSet* mouseInterfaces = nullptr; // null: SystemMouseInterfaces()

namespace {

MouseInterfaceSet& Interfaces() {
    return mouseInterfaces ? *mouseInterfaces : SystemMouseInterfaces();
}

wchar_t FoldCase(wchar_t c) {
    return c >= L'a' && c <= L'z' ? wchar_t(c - L'a' + L'A') : c;
}

// True when a block operation moved its block whole on this interface; query, select and
// unknown codes have no block and count as whole once the interface is open.
bool Perform(const MouseLink& link, int operation, int argument) {
    const PacedOperation paced;
    switch (operation) {
    case ReadProfile:
        return ReadProfileBlock(link, argument, profileBlock);
    case WriteProfile:
        return WriteProfileBlock(link, argument, profileBlock);
    case QueryCurrentProfile:
        currentProfile = QueryActiveProfile(link);
        return true;
    case SelectProfile:
        SelectActiveProfile(link, argument);
        return true;
    case ReadHeader:
        return ReadHeaderBlock(link, headerBlock);
    case WriteHeader:
        return WriteHeaderBlock(link, headerBlock);
    default:
        return true; // unknown operation: the interface was opened and is closed, nothing is sent
    }
}

bool IsWrite(int operation) {
    return operation == WriteProfile || operation == WriteHeader;
}

} // namespace

bool PathContains(const wchar_t* path, const wchar_t* text) {
    if (!*text)
        return true;
    for (; *path; ++path) {
        size_t i = 0;
        while (text[i] && path[i] && FoldCase(path[i]) == FoldCase(text[i]))
            ++i;
        if (!text[i])
            return true;
    }
    return false;
}

bool RunDeviceOperation(int operation, int argument) {
    // Another TarnDesk process may be in the middle of a page: its reports and ours must not
    // interleave, or the firmware takes our command for its chunk.
    MouseTransferLock lock;
    if (!lock.Held())
        return false;
    MouseInterfaceSet& interfaces = Interfaces();
    if (!interfaces.BeginEnumeration(EnumerationPurpose::DeviceWalk))
        return false;
    wchar_t pattern[kSettingLength * 2 + 16];
    std::swprintf(pattern, sizeof pattern / sizeof pattern[0], L"VID_%ls&PID_%ls", vendorId,
                  productId);
    wchar_t path[kMaxDevicePath];
    // A read's buffer holds what the interface opened last delivered, so that one decides;
    // a write has reached the mouse when any interface took the whole block.
    bool lastWhole = false;
    bool anyWhole = false;
    for (uint32_t n = 0;; ++n) {
        const InterfaceEntry entry = interfaces.InterfaceAt(n, path, kMaxDevicePath);
        if (entry == InterfaceEntry::End)
            break;
        if (entry == InterfaceEntry::Skip || !PathContains(path, pattern))
            continue;
        MouseHandle handle = nullptr;
        if (!interfaces.Open(path, &handle))
            continue;
        lastWhole = Perform(MouseLink{interfaces, handle}, operation, argument);
        anyWhole = anyWhole || lastWhole;
        interfaces.Close(handle);
    }
    interfaces.EndEnumeration();
    return IsWrite(operation) ? anyWhole : lastWhole;
}

bool IsMousePresent() {
    MouseInterfaceSet& interfaces = Interfaces();
    if (!interfaces.BeginEnumeration(EnumerationPurpose::PresenceCheck))
        return false;
    wchar_t path[kMaxDevicePath];
    bool present = false;
    for (uint32_t n = 0; !present; ++n) {
        const InterfaceEntry entry = interfaces.InterfaceAt(n, path, kMaxDevicePath);
        if (entry == InterfaceEntry::End)
            break;
        present = entry == InterfaceEntry::Path && PathContains(path, kPresenceText);
    }
    interfaces.EndEnumeration();
    return present;
}

#ifndef _WIN32
namespace {

// Builds without Windows have no HID interfaces of their own.
class NoInterfaces final : public MouseInterfaceSet {
  public:
    bool BeginEnumeration(EnumerationPurpose) override { return false; }
    InterfaceEntry InterfaceAt(uint32_t, wchar_t*, size_t) override { return InterfaceEntry::End; }
    void EndEnumeration() override {}
    bool Open(const wchar_t*, MouseHandle*) override { return false; }
    bool SetFeature(MouseHandle, const uint8_t*, uint32_t) override { return false; }
    bool GetFeature(MouseHandle, uint8_t*, uint32_t) override { return false; }
    void Close(MouseHandle) override {}
};

} // namespace

MouseInterfaceSet& SystemMouseInterfaces() {
    static NoInterfaces none;
    return none;
}

// One process, no other TarnDesk to share the mouse with.
MouseTransferLock::MouseTransferLock() : mutex_(nullptr), held_(true) {}
MouseTransferLock::~MouseTransferLock() = default;
#endif
