// The device walk over the HID interface set: every interface whose path names the mouse's
// vendor and product id and that opens for reading and writing gets the whole operation, one
// after the other in enumeration order. Windows-free; the SetupDi/HidD side is
// device_channel_win.cpp, the simulated mouse lives under simulators/mouse.
#include "device_channel.h"

#include "memory_protocol.h"
#include "mouse_firmware.h"
#include "profile_record.h"
#include "text_search.h"

#include <cwchar>

// Process-wide state owned here (declared in device_channel.h and mouse_firmware.h).
wchar_t vendorId[kSettingFieldCount] = L"F1D0";
wchar_t productId[kSettingFieldCount] = L"0084";
MouseInterfaceSet* mouseInterfaces = nullptr; // null: the installed system seams' interfaces

namespace {

SystemSeams installedSeams; // written only by InstallSystemSeams

// No system seams installed: no HID interfaces.
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

MouseInterfaceSet& Interfaces() {
    static NoInterfaces none;
    if (mouseInterfaces != nullptr)
        return *mouseInterfaces;
    return installedSeams.interfaces != nullptr ? *installedSeams.interfaces : none;
}

// True when a block operation moved its block whole on this interface; query, select and
// unknown codes have no block and count as whole once the interface is open.
bool Perform(const MouseLink& link, int operation, int argument, uint8_t* block,
             DeviceResult& result) {
    const PacedOperation paced;
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

void InstallSystemSeams(const SystemSeams& seams) {
    installedSeams = seams;
}

const SystemSeams& InstalledSystemSeams() {
    return installedSeams;
}

MouseTransferLock::MouseTransferLock(uint32_t waitMs)
    : seam_(installedSeams.lock), lock_(nullptr), held_(seam_ == nullptr) {
    if (seam_ != nullptr) {
        lock_ = seam_->Acquire(waitMs);
        held_ = lock_ != nullptr;
    }
}

MouseTransferLock::~MouseTransferLock() {
    if (lock_ != nullptr)
        seam_->Release(lock_);
}

bool PathContains(const wchar_t* path, const wchar_t* text) {
    // The walk's own answer for an empty text: every path.
    return !*text || ContainsIgnoringCase(path, text);
}

DeviceResult RunDeviceOperation(int operation, int argument, uint8_t* block) {
    DeviceResult result;
    if (NeedsBlock(operation) && block == nullptr)
        return result;
    // Another TarnDesk process may be in the middle of a page: its reports and ours must not
    // interleave, or the firmware takes our command for its chunk.
    MouseTransferLock lock;
    if (!lock.Held())
        return result;
    MouseInterfaceSet& interfaces = Interfaces();
    if (!interfaces.BeginEnumeration(EnumerationPurpose::DeviceWalk))
        return result;
    wchar_t pattern[kSettingFieldCount * 2 + 16];
    std::swprintf(pattern, sizeof pattern / sizeof pattern[0], L"VID_%ls&PID_%ls", vendorId,
                  productId);
    wchar_t path[kMaxDevicePath];
    // A read's block holds what the interface opened last delivered, so that one decides;
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
        lastWhole = Perform(MouseLink{interfaces, handle}, operation, argument, block, result);
        anyWhole = anyWhole || lastWhole;
        interfaces.Close(handle);
    }
    interfaces.EndEnumeration();
    result.whole = IsWrite(operation) ? anyWhole : lastWhole;
    return result;
}

std::optional<int32_t> QueryMouseProfile() {
    return RunDeviceOperation(QueryCurrentProfile, 0).activeProfile;
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
