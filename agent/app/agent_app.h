// TarnAgent's process: single instance, the hidden window and its procedure, the settings,
// the notification-area icon and menu, shutdown. Everything here runs on the window thread.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "agent_events.h"
#include "agent_settings.h"
#include "driver_link.h"
#include "tray_messages.h"

inline constexpr wchar_t kAgentClassName[] = L"TarnAgentClass";
inline constexpr wchar_t kAgentWindowName[] = L"TarnAgentWnd";
inline constexpr wchar_t kAgentRegistryKey[] = L"Software\\Orvane\\Stilbe\\Settings";

inline constexpr UINT MSG_RELOAD_SETTINGS = 3027;
inline constexpr UINT kTrayIconId = 109;
inline constexpr int kTrayMenuId = 109;
inline constexpr UINT kCmdOpenCpl = 32771;
inline constexpr UINT kCmdExit = 105;
inline constexpr UINT_PTR kTiltTimer = 1;
inline constexpr UINT kTiltTimerInterval = 200;
inline constexpr UINT_PTR kBlinkTimer = 2;
inline constexpr UINT kBlinkTimerInterval = 500;

// ---- Process-wide state (owned here) ----
extern HINSTANCE agentInstance;
extern HWND agentWindow;
extern RECT screenRect;
extern AgentEventState agentEventState;
extern std::wstring agentDirectory;    // empty until the paths are built
extern std::wstring agentLanguageFile; // empty until the paths are built
// Records handled by the window procedure (messages 3026 and 3028 that carried one).
extern uint64_t driverEventsHandled;
extern uint64_t hidEventsHandled;

// WinMain's body.
int AgentMain(HINSTANCE instance);
// Start-up after the single-instance check: window, COM, settings, drivers, paths, wheel,
// tray icon. False when the process is to end (no window, no device).
bool StartAgent(HINSTANCE instance);
int RunAgentMessageLoop();
LRESULT CALLBACK AgentWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Starts a file as the shell does (ShellExecuteW, "open", no owner, no directory). Owned
// here; null (the initial value) means ShellExecuteW. Only the Mouse control panel goes
// through it, so tests can see its command line where Wine cannot show it (Wine has no
// main.cpl, and finds rundll32.exe in the system directory before any stand-in).
using ShellStart = void (*)(const wchar_t* file, const wchar_t* parameters, int show);
extern ShellStart shellStart;

// rundll32.exe with "shell32.dll,Control_RunDLL <system directory>\main.cpl", SW_RESTORE.
void OpenMouseControlPanel();
void ReadAgentSettings();
void ApplyWheelSetting();
void AddTrayIcon();
void UpdateRegionIcon();
void UpdateBatteryIcon();
void ShowBatteryBalloon();
// Says once, in a balloon, where the dump of the last run's crash lies (if it left one).
void ShowCrashNotice();
// What ShowBatteryBalloon hands the shell with NIM_MODIFY (the shell shows the balloon, and
// Wine keeps no trace of it to look at).
NOTIFYICONDATAW BatteryBalloonData();
void ShowTrayMenu();
void HandleDriverEvent(const EventRecord& record);
void HandleHidEvent(const HidEventRecord& record);

// "%sTarnPrefs.txt" beside the program (derived afresh when the paths are not built yet).
std::wstring AgentPrefsFile();
// A default-form text of the language file, cut to `field` characters with terminator.
std::wstring AgentText(const wchar_t* key, const wchar_t* builtIn, size_t field);
// The exit item's text as the menu shows it.
std::wstring AgentExitItemText();
