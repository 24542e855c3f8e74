#include "tray_icon_win.h"

#include "handle_owners_win.h"
#include "program_files_win.h"
#include "resources/tarndesk_res.h"

#include <shellapi.h>

#include <cstddef>
#include <iterator>

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

void TrayIcon::ShowReading(HWND window, bool reading) {
    if (!tipRead_ || window == nullptr) {
        return; // no icon yet
    }
    const std::wstring tip =
        reading ? CutToField(texts_.LookupDefault(kReadingKey, kDefaultReading), kTipFieldCount)
                : tip_;
    NOTIFYICONDATAW data = {};
    data.cbSize = kTrayIconDataSize;
    data.hWnd = window;
    data.uID = kTrayIconId;
    data.uFlags = NIF_TIP;
    wcsncpy(data.szTip, tip.c_str(), kTipFieldCount - 1);
    Shell_NotifyIconW(NIM_MODIFY, &data);
}

void TrayIcon::ShowBalloon(HWND window, const std::wstring& text) {
    if (window == nullptr) {
        return;
    }
    NOTIFYICONDATAW data = {};
    data.cbSize = kTrayIconDataSize;
    data.hWnd = window;
    data.uID = kTrayIconId;
    data.uFlags = NIF_INFO;
    data.dwInfoFlags = NIIF_INFO;
    const std::wstring title = texts_.LookupDefault(kTitleKey, kDefaultTitle);
    wcsncpy(data.szInfo, text.c_str(), std::size(data.szInfo) - 1);
    wcsncpy(data.szInfoTitle, title.c_str(), std::size(data.szInfoTitle) - 1);
    Shell_NotifyIconW(NIM_MODIFY, &data);
}

HMENU TrayIcon::LoadPopupMenu(HMENU* loaded) const {
    *loaded = ::LoadMenuW(instance_, MAKEINTRESOURCEW(IDM_TRAY));
    if (*loaded == nullptr) {
        return nullptr;
    }
    HMENU popup = GetSubMenu(*loaded, 0);
    for (int id :
         {IDM_SETTING, IDM_CLOSE, IDM_RESET_TO_DEFAULT, IDM_BACKUP_PROFILES, IDM_RESTORE_PROFILES,
          IDM_PROGRAM_PROFILES, IDM_COPY_DIAGNOSTICS, IDM_HISTORY, IDM_PROFILE_LIBRARY}) {
        texts_.OverrideMenuItemText(popup, id);
    }
    // Bold, as the item a double click on the icon chooses.
    SetMenuDefaultItem(popup, IDM_SETTING, FALSE);
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
