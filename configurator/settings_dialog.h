// The Settings dialog (resource 101): the profile selector, the seven button functions, the
// X and Y resolution of the shown profile and, in the basic layout, the pointer speed.
#pragma once

#include <windows.h>

#include <cstdint>

inline constexpr int kBasicProfile = 5;
inline constexpr UINT_PTR kPollTimerId = 1;
inline constexpr UINT kPollPeriodMs = 500;

// The 12-point font of the profile numbers: created by the dialog when it opens, deleted by
// the main window when the program ends.
extern HFONT numberFont;

// Dialog state owned here (one dialog at a time).
extern int32_t xStep;           // X resolution step last shown or moved (4..32)
extern int32_t yStep;           // Y resolution step
extern int32_t speedPosition;   // speed trackbar position 0..10
extern int32_t lastSeenProfile; // profile seen by the previous poll; kept across openings
extern HICON dialogIcon;

// Dialog procedure of resource 101, created modeless by the tray with parameter 0.
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Re-queries the active profile and reloads every control from the cache and headerBlock.
void RefreshSettingsDialog(HWND dialog);
// Sets both resolution trackbars and fields from ProfileSettings of currentProfile.
void ShowProfileResolution(HWND dialog);
// Shows, hides, enables and disables the controls of the profile or the basic layout.
void SetLayout(HWND dialog, bool basic);
