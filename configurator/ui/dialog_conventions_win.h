// What every TarnDesk dialog does the same way: keys through the program's message loop, and
// where a dialog opens.
#pragma once

#include <windows.h>

// One message of the program's loop. A key for a modeless dialog goes through the dialog
// manager first, so Tab moves the focus, Enter presses the default button and Escape cancels;
// everything else is translated and dispatched.
void DispatchDeskMessage(MSG& message);
// Centres the window on the work area of the monitor it is on (the taskbar left free).
void CentreOnWorkArea(HWND window);
// Centres the window over its owner, kept inside the owner's work area; on the work area when
// it has no visible owner.
void CentreOverOwner(HWND window);
