// The system's HID interfaces: SetupDi enumeration of the HID class, CreateFileW to open, HidD
// feature reports. Member n of the device information set is asked for its interface n too,
// with the structure sizes of 64-bit Windows.
#include "hid_interfaces.h"

#include <windows.h>
// windows.h first: the SetupAPI and HID headers rely on its types.
#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}

#include <cstddef>

#include "handle_owners_win.h"

namespace {

// {4D1E55B2-F16F-11CF-88CB-001111000030}, what HidD_GetHidGuid returns as well.
constexpr GUID kHidInterfaceGuid = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

constexpr DWORD kDeviceInfoDataSize = 32;
constexpr DWORD kInterfaceDataSize = 32;
constexpr DWORD kDetailFixedSize = 8;
#ifdef _WIN64
static_assert(sizeof(SP_DEVINFO_DATA) == kDeviceInfoDataSize);
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == kInterfaceDataSize);
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) == kDetailFixedSize);
#endif

class SystemHidInterfaces final : public MouseInterfaceSet {
  public:
    bool BeginEnumeration(EnumerationPurpose purpose) override {
        purpose_ = purpose;
        GUID guid = ClassGuid();
        set_ = SetupDiGetClassDevsW(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
        return set_ != INVALID_HANDLE_VALUE;
    }

    InterfaceEntry InterfaceAt(uint32_t n, wchar_t* path, size_t capacity) override {
        SP_DEVINFO_DATA device = {};
        device.cbSize = kDeviceInfoDataSize;
        if (!SetupDiEnumDeviceInfo(set_, n, &device))
            return InterfaceEntry::End;
        GUID guid = ClassGuid();
        SP_DEVICE_INTERFACE_DATA data = {};
        data.cbSize = kInterfaceDataSize;
        if (!SetupDiEnumDeviceInterfaces(set_, nullptr, &guid, n, &data))
            return InterfaceEntry::Skip;
        DWORD length = 0;
        if (!SetupDiGetDeviceInterfaceDetailW(set_, &data, nullptr, 0, &length, nullptr) &&
            GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            return InterfaceEntry::Skip;
        // A size that cannot even hold cbSize and a terminator is not worth asking for.
        if (length < offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) + sizeof(wchar_t))
            return InterfaceEntry::Skip;
        const UniqueHeapBlock block(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, length));
        if (!block)
            return InterfaceEntry::Skip;
        auto* detail = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(block.Get());
        detail->cbSize = kDetailFixedSize;
        InterfaceEntry entry = InterfaceEntry::Skip;
        if (SetupDiGetDeviceInterfaceDetailW(set_, &data, detail, length, nullptr, nullptr)) {
            // The path ends at its terminator or at the end of the buffer, whichever is first.
            const size_t room = (length - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)) /
                                sizeof(wchar_t);
            size_t i = 0;
            while (i < room && detail->DevicePath[i])
                ++i;
            if (i < capacity) {
                for (size_t j = 0; j < i; ++j)
                    path[j] = detail->DevicePath[j];
                path[i] = L'\0';
                entry = InterfaceEntry::Path;
            }
        }
        return entry;
    }

    void EndEnumeration() override {
        if (set_ != INVALID_HANDLE_VALUE)
            SetupDiDestroyDeviceInfoList(set_);
        set_ = INVALID_HANDLE_VALUE;
    }

    bool Open(const wchar_t* path, MouseHandle* handle) override {
        HANDLE file =
            CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        *handle = file;
        return true;
    }

    bool SetFeature(MouseHandle handle, const uint8_t* report, uint32_t length) override {
        return HidD_SetFeature(handle, const_cast<uint8_t*>(report), length) != FALSE;
    }

    bool GetFeature(MouseHandle handle, uint8_t* report, uint32_t length) override {
        return HidD_GetFeature(handle, report, length) != FALSE;
    }

    // The seam's own release: the walk hands each handle it opened back here exactly once.
    void Close(MouseHandle handle) override { CloseHandle(handle); }

  private:
    GUID ClassGuid() const {
        if (purpose_ == EnumerationPurpose::PresenceCheck)
            return kHidInterfaceGuid;
        GUID guid;
        HidD_GetHidGuid(&guid);
        return guid;
    }

    HDEVINFO set_ = INVALID_HANDLE_VALUE;
    EnumerationPurpose purpose_ = EnumerationPurpose::DeviceWalk;
};

} // namespace

std::unique_ptr<MouseInterfaceSet> CreateSystemMouseInterfaces() {
    return std::make_unique<SystemHidInterfaces>();
}
