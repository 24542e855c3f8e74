#include "hidden_window_win.h"

#include "device_arrival.h"

#include <dbt.h>

#include <cstddef>

ATOM RegisterHiddenWindowClass(HINSTANCE instance, const HiddenWindowClass& windowClass) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = windowClass.procedure;
    wc.hInstance = instance;
    wc.hIcon = windowClass.icon;
    wc.hIconSm = windowClass.smallIcon;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    wc.lpszMenuName = windowClass.menu;
    wc.lpszClassName = windowClass.className;
    return RegisterClassExW(&wc);
}

HWND CreateHiddenWindow(HINSTANCE instance, const wchar_t* className, const wchar_t* windowName,
                        void* parameter) {
    HWND window =
        CreateWindowExW(0, className, windowName, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, parameter);
    if (window == nullptr) {
        return nullptr;
    }
    ShowWindow(window, SW_HIDE);
    UpdateWindow(window);
    return window;
}

bool DeviceArrivals::Register(HWND window, const GUID& interfaceClass) {
    Unregister();
    DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = interfaceClass;
    notification_ = RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    return notification_ != nullptr;
}

void DeviceArrivals::Unregister() {
    if (notification_ != nullptr) {
        UnregisterDeviceNotification(notification_);
        notification_ = nullptr;
    }
}

std::wstring_view ArrivedInterfaceName(WPARAM event, LPARAM data) {
    if (event != DBT_DEVICEARRIVAL || data == 0) {
        return {};
    }
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    if (header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE) {
        return {};
    }
    const auto* broadcast = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(data);
    return BroadcastInterfaceName(broadcast->dbcc_name, header->dbch_size,
                                  offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name));
}
