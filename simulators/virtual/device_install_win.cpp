#include "device_install_win.h"

extern "C" {
#include <hidsdi.h>
}
#include <newdev.h>
#include <setupapi.h>
#include <shlwapi.h>

#include <cstdio>
#include <vector>

#include "text_search.h"

namespace tarn::virt {

namespace {

const GUID kHidClassGuid = {
    0x745a17a0, 0x74d3, 0x11d0, {0xb6, 0xfe, 0x00, 0xa0, 0xc9, 0x0f, 0x57, 0xda}};

std::vector<BYTE> FileContent(const std::wstring& path) {
    std::vector<BYTE> content;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return content;
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < (64 << 20)) {
        content.resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        if (!ReadFile(file, content.data(), static_cast<DWORD>(content.size()), &got, nullptr) ||
            got != content.size())
            content.clear();
    }
    CloseHandle(file);
    return content;
}

bool SameFileContent(const std::wstring& a, const std::wstring& b) {
    std::vector<BYTE> left = FileContent(a);
    return !left.empty() && left == FileContent(b);
}

bool CopyDriverBinary(const std::wstring& sysPath, const std::wstring& sysName,
                      std::wstring* error) {
    wchar_t system[MAX_PATH] = {};
    if (!GetSystemDirectoryW(system, MAX_PATH)) {
        *error = LastErrorText(L"GetSystemDirectoryW");
        return false;
    }
    std::wstring target = std::wstring(system) + L"\\drivers\\" + sysName;
    // A loaded driver's file cannot be replaced (Wine keeps it until the session ends), and
    // needs not be when it is the same binary.
    if (SameFileContent(sysPath, target))
        return true;
    if (!CopyFileW(sysPath.c_str(), target.c_str(), FALSE)) {
        // Wine keeps a driver loaded (and its file open) until the session ends: the loaded
        // binary serves on, and a rebuilt one is taken up after `wineserver -k`.
        if (GetLastError() == ERROR_SHARING_VIOLATION &&
            GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
            fwprintf(stderr,
                     L"note: %ls is in use; the loaded driver stays until the Wine session ends\n",
                     target.c_str());
            return true;
        }
        *error = LastErrorText((L"copy " + sysPath + L" to " + target).c_str());
        return false;
    }
    return true;
}

bool WaitForInterface(const std::wstring& pattern, bool present, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (FindHidInterface(pattern).empty() != present)
            return true;
        if (GetTickCount64() >= end)
            return false;
        Sleep(5);
    }
}

} // namespace

std::wstring LastErrorText(const wchar_t* what) {
    wchar_t text[64];
    wsprintfW(text, L" failed, error %lu", GetLastError());
    return std::wstring(what) + text;
}

std::wstring ToolDirectory() {
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, length);
    size_t slash = dir.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : dir.substr(0, slash + 1);
}

std::wstring FindHidInterface(const std::wstring& pattern) {
    GUID hid;
    HidD_GetHidGuid(&hid);
    HDEVINFO set =
        SetupDiGetClassDevsW(&hid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return {};
    std::wstring found;
    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof(data);
    for (DWORD n = 0; found.empty() && SetupDiEnumDeviceInterfaces(set, nullptr, &hid, n, &data);
         ++n) {
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &size, nullptr);
        if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
            continue;
        std::vector<BYTE> buffer(size);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (!SetupDiGetDeviceInterfaceDetailW(set, &data, detail, size, nullptr, nullptr))
            continue;
        if (ContainsIgnoringCase(detail->DevicePath, pattern))
            found = detail->DevicePath;
    }
    SetupDiDestroyDeviceInfoList(set);
    return found;
}

bool RootDeviceInstalled(const std::wstring& instanceId) {
    HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    if (set == INVALID_HANDLE_VALUE)
        return false;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    bool installed = SetupDiOpenDeviceInfoW(set, instanceId.c_str(), nullptr, 0, &device) != FALSE;
    SetupDiDestroyDeviceInfoList(set);
    return installed;
}

bool PlugRootDevice(const std::wstring& instanceId, const std::wstring& hardwareId,
                    const std::wstring& infPath, const std::wstring& sysPath,
                    const std::wstring& sysName, const std::wstring& pathPattern, DWORD timeoutMs,
                    std::wstring* error) {
    if (!FindHidInterface(pathPattern).empty())
        return true;
    if (!CopyDriverBinary(sysPath, sysName, error))
        return false;

    HDEVINFO set = SetupDiCreateDeviceInfoList(&kHidClassGuid, nullptr);
    if (set == INVALID_HANDLE_VALUE) {
        *error = LastErrorText(L"SetupDiCreateDeviceInfoList");
        return false;
    }
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    bool ok = true;
    if (!SetupDiOpenDeviceInfoW(set, instanceId.c_str(), nullptr, 0, &device)) {
        // A hardware id property is a list ending in an empty string.
        std::wstring ids = hardwareId + L'\0' + L'\0';
        ok = SetupDiCreateDeviceInfoW(set, instanceId.c_str(), &kHidClassGuid, nullptr, nullptr, 0,
                                      &device) &&
             SetupDiSetDeviceRegistryPropertyW(set, &device, SPDRP_HARDWAREID,
                                               reinterpret_cast<const BYTE*>(ids.data()),
                                               static_cast<DWORD>(ids.size() * sizeof(wchar_t))) &&
             SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set, &device);
        if (!ok)
            *error = LastErrorText(L"registering the root device");
    }
    SetupDiDestroyDeviceInfoList(set);
    if (!ok)
        return false;

    BOOL reboot = FALSE;
    if (!UpdateDriverForPlugAndPlayDevicesW(nullptr, hardwareId.c_str(), infPath.c_str(),
                                            INSTALLFLAG_FORCE, &reboot)) {
        *error = LastErrorText(L"UpdateDriverForPlugAndPlayDevicesW");
        return false;
    }
    if (!WaitForInterface(pathPattern, true, timeoutMs)) {
        *error = L"the HID interface did not appear";
        return false;
    }
    return true;
}

bool UnplugRootDevice(const std::wstring& instanceId, const std::wstring& pathPattern,
                      DWORD timeoutMs, std::wstring* error) {
    HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    if (set == INVALID_HANDLE_VALUE) {
        *error = LastErrorText(L"SetupDiCreateDeviceInfoList");
        return false;
    }
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    bool ok = true;
    if (SetupDiOpenDeviceInfoW(set, instanceId.c_str(), nullptr, 0, &device)) {
        ok = SetupDiCallClassInstaller(DIF_REMOVE, set, &device) != FALSE;
        if (!ok)
            *error = LastErrorText(L"DIF_REMOVE");
    }
    SetupDiDestroyDeviceInfoList(set);
    if (!ok)
        return false;
    if (!WaitForInterface(pathPattern, false, timeoutMs)) {
        *error = L"the HID interface did not go away";
        return false;
    }
    return true;
}

bool StartKernelService(const std::wstring& service, const std::wstring& sysPath,
                        const std::wstring& sysName, std::wstring* error) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) {
        *error = LastErrorText(L"OpenSCManagerW");
        return false;
    }
    // A running driver keeps its file open and stays as it is.
    SC_HANDLE existing = OpenServiceW(manager, service.c_str(), SERVICE_QUERY_STATUS);
    if (existing) {
        SERVICE_STATUS status = {};
        const bool running =
            QueryServiceStatus(existing, &status) && status.dwCurrentState == SERVICE_RUNNING;
        CloseServiceHandle(existing);
        if (running) {
            CloseServiceHandle(manager);
            return true;
        }
    }
    if (!CopyDriverBinary(sysPath, sysName, error)) {
        CloseServiceHandle(manager);
        return false;
    }
    std::wstring binary = L"C:\\windows\\system32\\drivers\\" + sysName;
    SC_HANDLE handle = OpenServiceW(manager, service.c_str(), SERVICE_ALL_ACCESS);
    if (!handle)
        handle = CreateServiceW(manager, service.c_str(), service.c_str(), SERVICE_ALL_ACCESS,
                                SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    bool ok = handle != nullptr;
    if (!ok)
        *error = LastErrorText(L"CreateServiceW");
    if (ok) {
        SERVICE_STATUS status = {};
        if (QueryServiceStatus(handle, &status) && status.dwCurrentState != SERVICE_RUNNING &&
            !StartServiceW(handle, 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) {
            ok = false;
            *error = LastErrorText(L"StartServiceW");
        }
        CloseServiceHandle(handle);
    }
    CloseServiceHandle(manager);
    return ok;
}

bool StopKernelService(const std::wstring& service, bool remove, std::wstring* error) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) {
        *error = LastErrorText(L"OpenSCManagerW");
        return false;
    }
    SC_HANDLE handle = OpenServiceW(manager, service.c_str(), SERVICE_ALL_ACCESS);
    if (handle) {
        SERVICE_STATUS status = {};
        ControlService(handle, SERVICE_CONTROL_STOP, &status);
        if (remove)
            DeleteService(handle);
        CloseServiceHandle(handle);
    }
    CloseServiceHandle(manager);
    return true;
}

} // namespace tarn::virt
