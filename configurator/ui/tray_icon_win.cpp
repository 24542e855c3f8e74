#include "tray_icon_win.h"

#include "handle_owners_win.h"
#include "program_files_win.h"
#include "resources/tarndesk_res.h"

#include <shellapi.h>

#include <cstddef>

static_assert(offsetof(NOTIFYICONDATAW, guidItem) + sizeof(GUID) == kTrayIconDataSize);

HICON TrayIcon::LoadIconImage() const {
    // From the program's own folder: started at log-on, the current folder is another.
    auto icon = static_cast<HICON>(::LoadImageW(nullptr, (ProgramFolder() + kTrayIconFile).c_str(),
                                                IMAGE_ICON, 16, 16, LR_LOADFROMFILE));
    if (icon == nullptr) {
        icon = static_cast<HICON>(
            ::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_TRAY), IMAGE_ICON, 16, 16, 0));
    }
    return icon;
}

bool TrayIcon::Add(HWND window) {
    if (!tipRead_) {
        tip_ = CutToField(texts_.LookupDefault(kTitleKey, kDefaultTitle), kTipFieldCount);
        tipRead_ = true;
    }
    const UniqueIcon icon(LoadIconImage());
    if (!icon) {
        return false;
    }
    NOTIFYICONDATAW data = {};
    data.cbSize = kTrayIconDataSize;
    data.hWnd = window;
    data.uID = kTrayIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = MSG_TRAY_NOTIFY;
    data.hIcon = icon.Get(); // the shell keeps its own copy
    wcsncpy(data.szTip, tip_.c_str(), kTipFieldCount - 1);
    return Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
}

void TrayIcon::Remove(HWND window) {
    NOTIFYICONDATAW data = {};
    data.cbSize = kTrayIconDataSize;
    data.hWnd = window;
    data.uID = kTrayIconId;
    Shell_NotifyIconW(NIM_DELETE, &data);
}

HMENU TrayIcon::LoadPopupMenu(HMENU* loaded) const {
    *loaded = ::LoadMenuW(instance_, MAKEINTRESOURCEW(IDM_TRAY));
    if (*loaded == nullptr) {
        return nullptr;
    }
    HMENU popup = GetSubMenu(*loaded, 0);
    for (int id : {IDM_SETTING, IDM_CLOSE, IDM_RESET_TO_DEFAULT, IDM_BACKUP_PROFILES,
                   IDM_RESTORE_PROFILES, IDM_PROGRAM_PROFILES, IDM_COPY_DIAGNOSTICS, IDM_HISTORY}) {
        texts_.OverrideMenuItemText(popup, id);
    }
    return popup;
}

void TrayIcon::ShowMenu(HWND window) const {
    UniqueMenu loaded;
    HMENU popup = LoadPopupMenu(loaded.Put());
    if (popup == nullptr) {
        return;
    }
    POINT cursor = {};
    GetCursorPos(&cursor);
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(window);
    SetCapture(window);
    TrackPopupMenu(popup, TPM_LEFTBUTTON, cursor.x, cursor.y, 0, window, nullptr);
    loaded.Reset();
    ReleaseCapture();
}
