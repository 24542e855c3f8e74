#include "launcher_app.h"

#include <dbt.h>
// mingw-w64's hidsdi.h declares the HidD functions without C linkage.
extern "C" {
#include <hidsdi.h>
}
#include <shellapi.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "device_list.h"
#include "handle_owners_win.h"
#include "tarnwake_res.h"

namespace tarnwake {

HINSTANCE launcherInstance = nullptr;
HWND mainWindow = nullptr;
DeviceArrivals arrivals;
HINF infHandle = INVALID_HANDLE_VALUE;

namespace {

static_assert(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) == 32);

// Reads the agent's start command from the Run key; empty when the key, the value or any
// text is missing.
std::wstring ReadStartCommand() {
    UniqueKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunKeyPath, 0, kRunKeyAccess, key.Put()) !=
        ERROR_SUCCESS) {
        return {};
    }
    std::uint8_t data[kRunValueBytes + 1] = {};
    DWORD size = kRunValueBytes;
    std::wstring command;
    if (RegQueryValueExW(key.Get(), kRunValueName, nullptr, nullptr, data, &size) ==
        ERROR_SUCCESS) {
        command = StartCommandFromValue(data, size);
    }
    return command;
}

// The command is handed over whole as the file to open (without the quotes of a quoted
// path); an empty one would open a folder window, so it starts nothing.
void StartAgent() {
    const std::wstring file = StartFileOf(ReadStartCommand());
    if (file.empty()) {
        return;
    }
    ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void OnInterfaceArrival(std::wstring_view devicePath) {
    if (FindWindowW(kAgentClassName, kAgentWindowName) != nullptr) {
        return;
    }
    if (infHandle == INVALID_HANDLE_VALUE) {
        return;
    }
    INFCONTEXT line = {};
    if (!SetupFindFirstLineW(infHandle, kInfSection, kInfKey, &line)) {
        return;
    }
    const DWORD fields = SetupGetFieldCount(&line);
    for (DWORD k = 1; k <= fields; ++k) {
        wchar_t field[kFieldChars] = {};
        if (!SetupGetStringFieldW(&line, k, field, kFieldChars, nullptr)) {
            continue;
        }
        if (FieldMatchesDevicePath(BoundedDevicePath(field, kFieldChars), devicePath)) {
            StartAgent();
        }
    }
}

void OnDeviceChange(WPARAM event, LPARAM data) {
    const std::wstring_view name = ArrivedInterfaceName(event, data);
    if (!name.empty()) {
        OnInterfaceArrival(name);
    }
}

void RegisterForHidArrivals(HWND window) {
    GUID hid;
    HidD_GetHidGuid(&hid);
    arrivals.Register(window, hid);
}

// The program's own path, or empty when it does not fit the buffer (a cut path would name
// some other folder).
std::wstring ModulePath() {
    wchar_t path[kModulePathChars] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, kModulePathChars);
    if (length == 0 || length >= kModulePathChars) {
        return {};
    }
    return std::wstring(path, length);
}

} // namespace

ATOM RegisterWakeClass(HINSTANCE instance) {
    // LoadIconW would hand out the large size of icon 108; ask for the small size instead.
    const HiddenWindowClass windowClass{
        kWakeClassName, WakeWindowProc, LoadIconW(instance, MAKEINTRESOURCEW(IDI_TARNWAKE)),
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_TARNWAKE_SMALL), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                      LR_SHARED))};
    return RegisterHiddenWindowClass(instance, windowClass);
}

bool StartLauncherWithInf(HINSTANCE instance, const wchar_t* infPath) {
    launcherInstance = instance;
    HWND window = CreateHiddenWindow(instance, kWakeClassName, kWakeWindowName);
    if (window == nullptr) {
        return false;
    }
    mainWindow = window;
    RegisterForHidArrivals(window);

    if (infPath != nullptr && *infPath != L'\0') {
        infHandle = SetupOpenInfFileW(infPath, nullptr, INF_STYLE_WIN4, nullptr);
    }
    if (infHandle == INVALID_HANDLE_VALUE) {
        DestroyWindow(window);
        return false;
    }
    return true;
}

bool StartLauncher(HINSTANCE instance) {
    const std::wstring modulePath = ModulePath();
    const std::wstring infPath = modulePath.empty() ? std::wstring() : InfPathBeside(modulePath);
    return StartLauncherWithInf(instance, infPath.c_str());
}

LRESULT CALLBACK WakeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DEVICECHANGE:
        OnDeviceChange(wParam, lParam);
        return 0;
    case WM_PAINT: {
        const PaintScope paint(window); // nothing to draw
        return 0;
    }
    case WM_COMMAND:
        return 0;
    case WM_DESTROY:
        arrivals.Unregister();
        if (infHandle != INVALID_HANDLE_VALUE) {
            SetupCloseInfFile(infHandle);
            infHandle = INVALID_HANDLE_VALUE;
        }
        if (window == mainWindow) {
            mainWindow = nullptr;
        }
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace tarnwake
