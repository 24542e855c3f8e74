// The message boxes more than one part of TarnDesk shows.
#pragma once

#include "settings/text_files.h"

#include <windows.h>

#include <string>

inline constexpr wchar_t kConnectMouseText[] =
    L"Please connect your mouse to an available USB port!";

// The one message that a write did not reach the mouse ("WriteFailed"), owned by `owner`.
void ShowWriteFailed(HWND owner, const TextSettings& texts);
// "Please connect your mouse ...": fixed English, the system's own caption.
void ShowConnectMouse();
// A message under the program's title ("Title") with the given icon and OK.
void Tell(HWND owner, const TextSettings& texts, const std::wstring& text, UINT icon);
