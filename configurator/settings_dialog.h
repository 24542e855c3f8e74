// The Settings dialog (resource 101): the profile selector, the seven button functions, the
// X and Y resolution of the shown profile and, in the basic layout, the pointer speed.
#pragma once

#include <windows.h>

#include <cstdint>

// The 12-point font of the profile numbers: created by the dialog when it opens, deleted by
// the main window when the program ends.
extern HFONT numberFont;

// Dialog procedure of resource 101, created modeless by the tray with parameter 0.
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
