// The Select Profile dialog (103); the logic is in select_profile.h.
#pragma once

#include <windows.h>

#include "select_profile.h"

INT_PTR CALLBACK SelectProfileDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
