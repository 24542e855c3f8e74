// The Open Profile dialog (109): a profile file opened from the desktop names its profile and
// asks which of the mouse's five profiles it goes into.
#pragma once

#include "settings/text_files.h"

#include <windows.h>

#include <string>

// Modal to `owner`, with `preselected` (0..4) chosen at first: the profile chosen (0..4), or -1
// when the user cancelled.
int ChooseProfileSlot(HINSTANCE instance, HWND owner, const TextSettings& texts,
                      const std::wstring& name, int preselected);
