// TarnWake's window: waits for HID interface arrivals and starts the agent when an arriving
// interface is one the filter driver's INF lists and no agent window exists.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include "hidden_window_win.h"

namespace tarnwake {

inline constexpr wchar_t kWakeClassName[] = L"TarnWakeClass";
inline constexpr wchar_t kWakeWindowName[] = L"TarnWakeWnd";
inline constexpr wchar_t kAgentClassName[] = L"TarnAgentClass";
inline constexpr wchar_t kAgentWindowName[] = L"TarnAgentWnd";
inline constexpr wchar_t kRunKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunValueName[] = L"TarnAgent";

// Plain KEY_READ: on 64-bit Windows this 32-bit program reads the 32-bit view of the Run key
// (Software\WOW6432Node\...\Run), where the installer and driver packages put the agent's
// command. Windows runs the Run entries of both views at log-on, 64-bit programs included.
inline constexpr REGSAM kRunKeyAccess = KEY_READ;

// Process-wide state, written only by launcher_app_win.cpp: the program instance, the hidden
// main window, its HID arrival registration and the INF file, open from start-up until the
// window is destroyed (INVALID_HANDLE_VALUE while closed).
extern HINSTANCE launcherInstance;
extern HWND mainWindow;
extern DeviceArrivals arrivals;
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
