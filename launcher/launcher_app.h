// TarnWake's window: waits for HID interface arrivals and starts the agent when an arriving
// interface is one the filter driver's INF lists and no agent window exists.
#pragma once

#include <windows.h>
#include <setupapi.h>

namespace tarnwake {

inline constexpr wchar_t kWakeClassName[] = L"TarnWakeClass";
inline constexpr wchar_t kWakeWindowName[] = L"TarnWakeWnd";
inline constexpr wchar_t kAgentClassName[] = L"TarnAgentClass";
inline constexpr wchar_t kAgentWindowName[] = L"TarnAgentWnd";
inline constexpr wchar_t kRunKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunValueName[] = L"TarnAgent";

// The installer writes the agent's Run value into the 64-bit registry view, beside the 64-bit
// agent it starts. This 32-bit program would otherwise be redirected to the 32-bit view
// (WOW6432Node) on 64-bit Windows, so it asks for the 64-bit view explicitly; 32-bit Windows
// ignores the flag.
inline constexpr REGSAM kRunKeyAccess = KEY_READ | KEY_WOW64_64KEY;

// Process-wide state, written only by launcher_app_win.cpp: the program instance, the hidden
// main window, its HID arrival registration and the INF file, open from start-up until the
// window is destroyed (INVALID_HANDLE_VALUE while closed).
extern HINSTANCE launcherInstance;
extern HWND mainWindow;
extern HDEVNOTIFY arrivalNotification;
extern HINF infHandle;

// Registers "TarnWakeClass" with the program's icons 107 and 108.
ATOM RegisterWakeClass(HINSTANCE instance);

// Creates the hidden window, registers for HID arrivals and opens "TarnMsFlt.inf" beside the
// program. True when the window exists and the INF file is open; on failure nothing is left.
bool StartLauncher(HINSTANCE instance);

// StartLauncher with the INF file at infPath, for tests that keep their INF files elsewhere.
bool StartLauncherWithInf(HINSTANCE instance, const wchar_t* infPath);

LRESULT CALLBACK WakeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace tarnwake
