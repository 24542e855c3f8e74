// The History dialog (108) and the history's messages in the tray.
#pragma once

#include "desk_services.h"
#include "settings/text_files.h"

#include <windows.h>

#include <functional>
#include <string>

inline constexpr wchar_t kChangedElsewhereKey[] = L"ChangedElsewhere";
inline constexpr wchar_t kDefaultChangedElsewhere[] =
    L"The mouse's settings were changed outside this computer's TarnDesk. Your previous settings "
    L"are in History.";
inline constexpr wchar_t kHistoryKeepFailedKey[] = L"HistoryKeepFailed";
inline constexpr wchar_t kDefaultHistoryKeepFailed[] =
    L"Nothing was written into the mouse: the settings it holds now could not be kept in the "
    L"history first.";

// The one balloon that the mouse came back changed; `window` owns the tray icon.
// Said once a write was stopped because the memory it would replace could not be kept.
void ShowHistoryKeepFailed(HWND owner, const TextSettings& texts, const std::wstring& problem);
// The dialog, modal to `owner`; `restored` runs after a restore wrote the mouse.
void RunHistoryDialog(HWND owner, const DeskServices& desk, const std::function<void()>& restored);
