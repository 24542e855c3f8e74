// The message boxes more than one part of TarnDesk shows.
#pragma once

#include "settings/text_files.h"

#include <windows.h>

#include <string>

// The one message that a write did not reach the mouse ("WriteFailed"), owned by `owner`.
void ShowWriteFailed(HWND owner, const TextSettings& texts);
inline constexpr wchar_t kChangedMeanwhileKey[] = L"ChangedMeanwhile";
inline constexpr wchar_t kDefaultChangedMeanwhile[] =
    L"Another TarnDesk (a restore or the command line) changed the mouse's settings meanwhile. "
    L"This dialog now shows what the mouse holds; make your change again.";
// Said instead of a write that would have put back settings older than the mouse's.
void ShowChangedMeanwhile(HWND owner, const TextSettings& texts);
inline constexpr wchar_t kCacheStoreFailedKey[] = L"CacheStoreFailed";
inline constexpr wchar_t kDefaultCacheStoreFailed[] =
    L"The settings could not be saved on this computer (in the registry). The mouse holds them, "
    L"but the copy here may be older.";
void ShowCacheStoreFailed(HWND owner, const TextSettings& texts);
// "Please connect your mouse ..." ("ConnectMouse") under the system's own caption.
void ShowConnectMouse(const TextSettings& texts);
// A message under the program's title ("Title") with the given icon and OK.
void Tell(HWND owner, const TextSettings& texts, const std::wstring& text, UINT icon);
