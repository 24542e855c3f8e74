#include "filter_client_win.h"

#include "device_install_win.h"

namespace tarn::virt {

namespace {

const wchar_t* const kDevicePaths[TARN_FILTER_DEVICE_COUNT] = {
    L"\\\\.\\" TARN_HID_LOWER_FILTER_NAME, L"\\\\.\\" TARN_PS2_UPPER_FILTER_NAME,
    L"\\\\.\\" VELL_HID_UPPER_FILTER_NAME};

uint32_t GetU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool Control(int device, uint32_t code, const void* in, DWORD inLength, void* out,
             DWORD outLength) {
    HANDLE handle = OpenFilterDevice(device);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(handle, code, const_cast<void*>(in), inLength, out, outLength,
                              &returned, nullptr);
    CloseHandle(handle);
    return ok != FALSE;
}

} // namespace

bool StartFilterDrivers(const std::wstring& virtualDir, std::wstring* error) {
    if (!StartKernelService(L"tarnfilt", virtualDir + L"tarnfilt.sys", L"tarnfilt.sys", error))
        return false;
    HANDLE device = OpenFilterDevice(TARN_FILTER_HID_LOWER);
    if (device == INVALID_HANDLE_VALUE) {
        *error = LastErrorText(L"opening the filter devices");
        return false;
    }
    CloseHandle(device);
    return true;
}

HANDLE OpenFilterDevice(int device) {
    if (device < 0 || device >= TARN_FILTER_DEVICE_COUNT)
        return INVALID_HANDLE_VALUE;
    return CreateFileW(kDevicePaths[device], GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool InjectRecord(int device, const InjectRequest& request) {
    const std::vector<uint8_t> record = BuildRecord(device, request);
    return Control(device, TARN_SIM_IOCTL_INJECT, record.data(), static_cast<DWORD>(record.size()),
                   nullptr, 0);
}

bool ResetFilterDevice(int device) {
    return Control(device, TARN_SIM_IOCTL_RESET, nullptr, 0, nullptr, 0);
}

std::optional<FilterStatus> QueryFilterStatus(int device) {
    FilterStatus status;
    if (!Control(device, TARN_SIM_IOCTL_STATUS, nullptr, 0, status.raw, sizeof(status.raw)))
        return std::nullopt;
    for (size_t i = 0; i < TARN_SETTINGS_RECORD_LENGTH; ++i)
        status.settings[i] = status.raw[i];
    status.settingsCount = GetU32(status.raw + TARN_SIM_STATUS_SETTINGS_COUNT);
    status.armed = GetU32(status.raw + TARN_SIM_STATUS_ARMED);
    status.arms = GetU32(status.raw + TARN_SIM_STATUS_ARMS);
    status.fetches = GetU32(status.raw + TARN_SIM_STATUS_FETCHES);
    status.stops = GetU32(status.raw + TARN_SIM_STATUS_STOPS);
    status.queued = GetU32(status.raw + TARN_SIM_STATUS_QUEUED);
    status.dropped = GetU32(status.raw + TARN_SIM_STATUS_DROPPED);
    status.signals = GetU32(status.raw + TARN_SIM_STATUS_SIGNALS);
    status.lastStopEnable = GetU32(status.raw + TARN_SIM_STATUS_LAST_STOP_ENABLE);
    status.armFailures = GetU32(status.raw + TARN_SIM_STATUS_ARM_FAILURES);
    return status;
}

} // namespace tarn::virt
