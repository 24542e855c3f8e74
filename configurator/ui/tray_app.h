// TarnDesk's process: start-up, the hidden main window, the tray icon and its menu, the
// memory copy into the cache and "Reset to Default".
#pragma once

#include <windows.h>

#include <cstdint>

#include "tray_messages.h"

// The system's own class name, capital L included: other programs find TarnDesk's window by
// it, so it is kept exactly as it is spelled.
inline constexpr wchar_t kMainClassName[] = L"TarnDeskCLass";
inline constexpr wchar_t kMainWindowName[] = L"TarnDeskWnd";
inline constexpr UINT kTrayIconId = 106;
inline constexpr UINT_PTR kRereadTimerId = 1;
inline constexpr UINT kRereadDelayMs = 200;
inline constexpr wchar_t kTrayIconFile[] = L"image\\mark.ico";
inline constexpr wchar_t kConnectMouseText[] =
    L"Please connect your mouse to an available USB port!";
inline constexpr wchar_t kTaskbarCreatedMessageName[] = L"TaskbarCreated";

// Owned here.
// 1 while no Settings dialog exists, 0 while one is open. Written by OpenSettingsDialog (0)
// and SettingsDialogProc's closing (1).
extern int32_t settingsDialogClosed;
// The program instance and the hidden main window, for the dialogs.
extern HINSTANCE programInstance; // written by CreateMainWindow only
// Written by CreateMainWindow and cleared by MainWindowProc's WM_DESTROY.
extern HWND mainWindow;

// Registers "TarnDeskCLass" (icon 110, menu 106) for `instance`.
ATOM RegisterMainWindowClass(HINSTANCE instance);
// Creates the hidden main window and registers it for HID interface arrivals. Null on failure.
HWND CreateMainWindow(HINSTANCE instance);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Reads the five profile blocks and the header block from the mouse into the cache. A block
// is stored only when it arrived whole; otherwise the cached copy stays (the header buffer
// holds what the read left, zeros where nothing arrived). The profile buffer, which an open
// Settings dialog edits, ends as it was.
void SyncCacheFromDevice();
// Writes the default profiles and resolution records to the mouse and the cache; says so
// when a block did not reach the mouse whole (the cache gets the defaults either way). The
// profile buffer ends as it was.
void ResetToDefault();
// The one message that a write did not reach the mouse ("WriteFailed"), owned by `owner`.
void ShowWriteFailed(HWND owner);
// Adds the tray icon of `window`: "image\mark.ico" from the program's folder, else icon
// 112; tooltip "Title". False when no icon could be loaded or the shell refused it.
bool AddTrayIcon(HWND window);
// The tray icon's picture at 16 x 16; the caller destroys it. Null when neither loads.
HICON LoadTrayIconImage();
// Menu 106's popup with the language overrides applied; the caller destroys `loaded`.
HMENU LoadTrayMenu(HMENU* loaded);
void ShowTrayMenu(HWND window);
// "Setting": opens dialog 101 when none is open and the mouse is present.
void OpenSettingsDialog();

// One tray program per log-on session: the first start holds this mutex for its lifetime.
inline constexpr wchar_t kTrayInstanceName[] = L"Local\\TarnDeskTray";
inline constexpr DWORD kHandOverWaitMs = 10000;
inline constexpr DWORD kHandOverStepMs = 50;
// When a tray program already runs in this session: asks it to open its Settings dialog, as
// a double click on its icon does, and returns true (this start then ends). Otherwise takes
// the tray's place and returns false.
bool HandOverToRunningTray();

// The tray program from its entry point (a second start hands over); returns the exit code.
int RunTarnDesk(HINSTANCE instance);
