#include "vmouse_client_win.h"

extern "C" {
#include <hidsdi.h>
}

#include "device_install_win.h"

namespace tarn::virt {

bool PlugVirtualMouse(const std::wstring& virtualDir, std::wstring* error) {
    return PlugRootDevice(TARN_VMOUSE_INSTANCE_ID, TARN_VMOUSE_HARDWARE_ID,
                          virtualDir + L"tarnvmouse.inf", virtualDir + L"tarnvmouse.sys",
                          L"tarnvmouse.sys", TARN_VMOUSE_PATH_PATTERN, kPlugTimeoutMs, error);
}

bool UnplugVirtualMouse(std::wstring* error) {
    return UnplugRootDevice(TARN_VMOUSE_INSTANCE_ID, TARN_VMOUSE_PATH_PATTERN, kPlugTimeoutMs,
                            error);
}

bool VirtualMousePresent() {
    return !FindHidInterface(TARN_VMOUSE_PATH_PATTERN).empty();
}

MouseLink::MouseLink() {
    std::wstring path = FindHidInterface(TARN_VMOUSE_PATH_PATTERN);
    if (!path.empty())
        handle_ =
            CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
}

MouseLink::~MouseLink() {
    if (handle_ != INVALID_HANDLE_VALUE)
        CloseHandle(handle_);
}

bool MouseLink::Set(ControlReport report) const {
    return Open() &&
           HidD_SetFeature(handle_, report.data(), static_cast<ULONG>(report.size())) != FALSE;
}

bool MouseLink::Get(ControlReport* reply) const {
    *reply = ControlReport{};
    (*reply)[0] = TARN_VMOUSE_CONTROL_REPORT_ID;
    return Open() &&
           HidD_GetFeature(handle_, reply->data(), static_cast<ULONG>(reply->size())) != FALSE;
}

bool MouseLink::Load(const MemoryImage& image) const {
    for (uint8_t area = 0; area < kAreaCount; ++area)
        for (uint8_t page = 0; page < kPagesPerArea; ++page)
            if (!Set(MakeLoadPage(image, area, page)))
                return false;
    return true;
}

std::optional<MemoryImage> MouseLink::Dump() const {
    MemoryImage image{};
    for (uint8_t area = 0; area < kAreaCount; ++area)
        for (uint8_t page = 0; page < kPagesPerArea; ++page) {
            ControlReport reply;
            if (!Set(MakeControl(TARN_VMOUSE_DUMP_PAGE, area, page)) || !Get(&reply) ||
                !TakeDumpedPage(reply, area, page, &image))
                return std::nullopt;
        }
    return image;
}

std::optional<MouseStatus> MouseLink::Status() const {
    ControlReport reply;
    if (!Set(MakeControl(TARN_VMOUSE_STATUS)) || !Get(&reply))
        return std::nullopt;
    return ParseStatus(reply);
}

bool MouseLink::Command(uint8_t command, uint8_t area, int32_t argument) const {
    return Set(MakeControl(command, area, 0, argument));
}

bool StoredImage(MemoryImage* image, bool store) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, TARN_VMOUSE_PARAMETERS_KEY, 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG result;
    if (store) {
        result = RegSetValueExW(key, TARN_VMOUSE_MEMORY_VALUE, 0, REG_BINARY, image->data(),
                                static_cast<DWORD>(image->size()));
    } else {
        image->fill(0);
        DWORD type = 0, size = static_cast<DWORD>(image->size());
        result =
            RegQueryValueExW(key, TARN_VMOUSE_MEMORY_VALUE, nullptr, &type, image->data(), &size);
        if (result == ERROR_FILE_NOT_FOUND)
            result = ERROR_SUCCESS; // a fresh mouse: all zero
    }
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

} // namespace tarn::virt
