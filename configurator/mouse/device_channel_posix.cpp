// What the device channel meets in builds without Windows (the native test build): no HID
// interfaces of the system's own, and one process with no other TarnDesk to share the mouse.
#include "device_channel.h"
#include "mouse_firmware.h"

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
MouseTransferLock::MouseTransferLock(uint32_t) : mutex_(nullptr), held_(true) {}
MouseTransferLock::~MouseTransferLock() = default;
