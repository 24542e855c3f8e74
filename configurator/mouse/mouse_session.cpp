// The device walk over the HID interface set: every interface whose path names the mouse's
// vendor and product id and that opens for reading and writing gets the whole operation, one
// after the other in enumeration order. Windows-free; the SetupDi/HidD side is
// hid_interfaces_win.cpp, the simulated mouse lives under simulators/mouse.
#include "mouse_session.h"

#include "memory_protocol.h"
#include "text_search.h"

#include <cwchar>

namespace {

// True when a block operation moved its block whole on this interface; query, select and
// unknown codes have no block and count as whole once the interface is open.
bool Perform(const MouseLink& link, int operation, int argument, uint8_t* block,
             DeviceResult& result) {
    const PacedOperation paced(link.wait);
    switch (operation) {
    case ReadProfile:
        return ReadProfileBlock(link, argument, block);
    case WriteProfile:
        return WriteProfileBlock(link, argument, block);
    case QueryCurrentProfile:
        result.activeProfile = QueryActiveProfile(link);
        return true;
    case SelectProfile:
        SelectActiveProfile(link, argument);
        return true;
    case ReadHeader:
        return ReadHeaderBlock(link, block);
    case WriteHeader:
        return WriteHeaderBlock(link, block);
    default:
        return true; // unknown operation: the interface was opened and is closed, nothing is sent
    }
}

bool IsWrite(int operation) {
    return operation == WriteProfile || operation == WriteHeader;
}

bool NeedsBlock(int operation) {
    return IsWrite(operation) || operation == ReadProfile || operation == ReadHeader;
}

} // namespace

bool PathContains(const wchar_t* path, const wchar_t* text) {
    // The walk's own answer for an empty text: every path.
    return !*text || ContainsIgnoringCase(path, text);
}

DeviceResult MouseSession::RunDeviceOperation(int operation, int argument, uint8_t* block) {
    DeviceResult result;
    if (NeedsBlock(operation) && block == nullptr)
        return result;
    // Another TarnDesk process may be in the middle of a page: its reports and ours must not
    // interleave, or the firmware takes our command for its chunk.
    const MouseTransferLock lock = Hold();
    if (!lock.Held())
        return result;
    MouseInterfaceSet& interfaces = interfaces_;
    if (!interfaces.BeginEnumeration(EnumerationPurpose::DeviceWalk))
        return result;
    const std::wstring pattern = L"VID_" + ids_.vendorId + L"&PID_" + ids_.productId;
    wchar_t path[kMaxDevicePath];
    // A read's block holds what the interface opened last delivered, so that one decides;
    // a write has reached the mouse when any interface took the whole block.
    bool lastWhole = false;
    bool anyWhole = false;
    for (uint32_t n = 0;; ++n) {
        const InterfaceEntry entry = interfaces.InterfaceAt(n, path, kMaxDevicePath);
        if (entry == InterfaceEntry::End)
            break;
        if (entry == InterfaceEntry::Skip || !PathContains(path, pattern.c_str()))
            continue;
        MouseHandle handle = nullptr;
        if (!interfaces.Open(path, &handle))
            continue;
        lastWhole =
            Perform(MouseLink{interfaces, handle, wait_}, operation, argument, block, result);
        anyWhole = anyWhole || lastWhole;
        interfaces.Close(handle);
    }
    interfaces.EndEnumeration();
    result.whole = IsWrite(operation) ? anyWhole : lastWhole;
    return result;
}

bool MouseSession::ReadProfile(int profile, ProfileBlock& block) {
    return RunDeviceOperation(::ReadProfile, profile, block.data()).whole;
}

bool MouseSession::WriteProfile(int profile, const ProfileBlock& block) {
    ProfileBlock sent = block; // the walk takes a buffer it may read from more than once
    return RunDeviceOperation(::WriteProfile, profile, sent.data()).whole;
}

bool MouseSession::ReadHeader(HeaderBlock& block) {
    return RunDeviceOperation(::ReadHeader, 0, block.data()).whole;
}

bool MouseSession::WriteHeader(const HeaderBlock& block) {
    HeaderBlock sent = block;
    return RunDeviceOperation(::WriteHeader, 0, sent.data()).whole;
}

std::optional<int32_t> MouseSession::QueryProfile() {
    return RunDeviceOperation(QueryCurrentProfile, 0).activeProfile;
}

void MouseSession::Select(int profile) {
    RunDeviceOperation(SelectProfile, profile);
}

bool MouseSession::IsMousePresent() {
    MouseInterfaceSet& interfaces = interfaces_;
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
