// Stand-in for the Settings dialog until the full dialog exists: a modeless window that only
// closes and lets the tray open it again.
#include "settings_dialog.h"

#include "tray_app.h"

HFONT numberFont = nullptr;

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL) {
            return FALSE;
        }
        [[fallthrough]];
    case WM_CLOSE:
        settingsDialogClosed = 1;
        DestroyWindow(dialog);
        return TRUE;
    default:
        return FALSE;
    }
}
