// The hidden top-level window each of the three programs is built around, and its
// registration for HID interface arrivals.
#pragma once

#include <windows.h>

#include <string_view>

struct HiddenWindowClass {
    const wchar_t* className;
    WNDPROC procedure;
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
    const wchar_t* menu = nullptr; // a class menu, by resource
};

// CS_HREDRAW | CS_VREDRAW, the arrow cursor, the window colour as background.
ATOM RegisterHiddenWindowClass(HINSTANCE instance, const HiddenWindowClass& windowClass);
// An overlapped window at the default place and size, hidden at once and never shown.
// `parameter` reaches WM_NCCREATE and WM_CREATE as CREATESTRUCT's lpCreateParams. Null when
// the window cannot be made.
HWND CreateHiddenWindow(HINSTANCE instance, const wchar_t* className, const wchar_t* windowName,
                        void* parameter = nullptr);

// A window's registration for the arrivals of one device-interface class, withdrawn when the
// owner goes.
class DeviceArrivals {
  public:
    DeviceArrivals() = default;
    ~DeviceArrivals() { Unregister(); }
    DeviceArrivals(const DeviceArrivals&) = delete;
    DeviceArrivals& operator=(const DeviceArrivals&) = delete;

    // DBT_DEVTYP_DEVICEINTERFACE for `interfaceClass`, to `window`. False when refused.
    bool Register(HWND window, const GUID& interfaceClass);
    void Unregister();
    bool Registered() const { return notification_ != nullptr; }

  private:
    HDEVNOTIFY notification_ = nullptr;
};

// The interface name of a WM_DEVICECHANGE arrival (wParam DBT_DEVICEARRIVAL) of a device
// interface; empty for every other event or a record too short to hold a name.
std::wstring_view ArrivedInterfaceName(WPARAM event, LPARAM data);
