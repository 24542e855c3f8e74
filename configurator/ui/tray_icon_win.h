// TarnDesk's notification-area icon and its menu (menu resource 106).
#pragma once

#include "settings/text_files.h"
#include "tray_messages.h"

#include <windows.h>

#include <string>

inline constexpr UINT kTrayIconId = 106;
inline constexpr wchar_t kTrayIconFile[] = L"image\\mark.ico";
inline constexpr wchar_t kReadingKey[] = L"ReadingMouse";
inline constexpr wchar_t kDefaultReading[] = L"Reading the mouse's memory...";
inline constexpr wchar_t kResetDoneKey[] = L"ResetDone";
inline constexpr wchar_t kDefaultResetDone[] =
    L"The mouse's memory was reset to the default settings.";

class TrayIcon {
  public:
    TrayIcon(HINSTANCE instance, const TextSettings& texts) : instance_(instance), texts_(texts) {}

    // Adds the icon of `window`: "image\mark.ico" from the program's folder, else icon 112;
    // tooltip "Title". False when no icon could be loaded or the shell refused it.
    bool Add(HWND window);
    void Remove(HWND window);
    // The tip says the mouse's memory is being read while `reading`, else the title again.
    void ShowReading(HWND window, bool reading);
    // A balloon with `text` under the program's title, from the icon.
    void ShowBalloon(HWND window, const std::wstring& text);
    // The icon's picture at 16 x 16; the caller destroys it. Null when neither loads.
    HICON LoadIconImage() const;
    // Menu 106's popup with the language overrides applied and "Setting" as its default item;
    // the caller destroys `loaded`.
    HMENU LoadPopupMenu(HMENU* loaded) const;
    // The menu at the cursor, owned by `window`; the choice comes as WM_COMMAND.
    void ShowMenu(HWND window) const;

  private:
    HINSTANCE instance_;
    const TextSettings& texts_;
    // Read once, when the icon is first added, and kept for later re-adds.
    std::wstring tip_;
    bool tipRead_ = false;
};
