// The Settings dialog (resource 101): the profile selector, the seven button functions, the
// X and Y resolution of the shown profile and, in the basic layout, the pointer speed.
#pragma once

#include <windows.h>

#include "handle_owners_win.h"

#include <cstdint>

inline constexpr UINT_PTR kPollTimerId = 1;
inline constexpr UINT kPollPeriodMs = 500;

// The 12-point font of the profile numbers: created by the dialog when it opens and released
// when it closes, or by the main window when the program ends with a dialog open. Written by
// SettingsDialogProc (WM_INITDIALOG, WM_DESTROY) and MainWindowProc's WM_DESTROY.
extern UniqueFont numberFont;

// Dialog state owned here (one dialog at a time), written by SettingsDialogProc only.
// X resolution step last shown (ShowProfileResolution) or moved (the trackbar), 4..32.
extern int32_t xStep;
extern int32_t yStep; // Y resolution step, as xStep
// Speed trackbar position 0..10: read at opening, moved by the trackbar.
extern int32_t speedPosition;
// The profile the dialog shows, for the poll to compare; kept across openings. Written by
// RefreshSettingsDialog only, which the poll runs when the mouse answers another profile.
extern int32_t lastSeenProfile;
extern UniqueIcon dialogIcon; // the caption icon, loaded at opening, released at WM_CLOSE

// The system-wide settings the dialog changes: the pointer speed (Apply) and, while the
// pointer rests on a click area, the arrow cursor of the whole desktop. The production side
// is SystemParametersInfoW and SetSystemCursor; tests install a recorder, since Wine keeps
// neither the speed nor the replaced cursor.
class DesktopSettings {
  public:
    virtual ~DesktopSettings() = default;
    virtual int PointerSpeed() = 0;              // SPI_GETMOUSESPEED, 1..20
    virtual void SetPointerSpeed(int speed) = 0; // SPI_SETMOUSESPEED, saved and broadcast
    // SetSystemCursor(cursor, OCR_NORMAL): the system owns `cursor` from then on.
    virtual void SetArrowCursor(HCURSOR cursor) = 0;
    virtual void ReloadSystemCursors() = 0; // SPI_SETCURSORS
};
// Owned by settings_dialog_win.cpp; null (the initial value) means SystemDesktopSettings().
// Tests point it at a recorder and set it back to null; the program never changes it.
extern DesktopSettings* desktopSettings;
DesktopSettings& SystemDesktopSettings();

// True while the hand replaces the system arrow: from a WM_SETCURSOR over a click area until
// the system cursors are reloaded. Set by SettingsDialogProc's WM_SETCURSOR; cleared by
// ReloadCursors, from its WM_MOUSELEAVE or RestoreSystemCursors (MainWindowProc runs it too).
extern bool handCursorShown;
// Reloads the system cursors when the hand replaces the arrow. The hover watch's timer dies
// with its control, so whatever ends the dialog (closing, destroying, log-off) or the program
// calls this; otherwise every window on the desktop would keep the hand.
void RestoreSystemCursors();

// Dialog procedure of resource 101, created modeless by the tray with parameter 0.
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Re-queries the active profile and reloads every control from the cache and headerBlock.
void RefreshSettingsDialog(HWND dialog);
// Refreshes this thread's open Settings dialog, if any, after something other than the dialog
// rewrote the mouse and the cache (a restore from a profile file).
void RefreshOpenSettingsDialog();
// Sets both resolution trackbars and fields from ProfileSettings of currentProfile.
void ShowProfileResolution(HWND dialog);
// Shows, hides, enables and disables the controls of the profile or the basic layout.
void SetLayout(HWND dialog, bool basic);
