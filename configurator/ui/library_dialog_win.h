// The tray's "Profile library...": the profiles kept in the user's Documents, more than the
// mouse holds; one of the mouse's five is saved into it, or a library profile loaded into one.
#pragma once

#include "desk_services.h"

#include <windows.h>

#include <functional>
#include <string>

// The dialog (115), modal to `owner`; `loaded` runs after a load wrote the mouse. `openDialog`
// holds it while it is open: asked for again meanwhile, it only comes to the front.
void RunLibraryDialog(HWND owner, const DeskServices& desk, const std::function<void()>& loaded,
                      HWND& openDialog);
// A name for a profile, asked in a small dialog (116) that starts with `name`; false when the
// user cancelled. A name the library cannot hold is told there and asked again.
bool AskProfileName(HWND owner, const TextSettings& texts, std::wstring& name);
