// The recorder dialog (102) and its low-level keyboard hook; the logic is in recorder.h.
#pragma once

#include <windows.h>

#include "recorder.h"

INT_PTR CALLBACK RecorderDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK RecordKeyProc(int code, WPARAM wParam, LPARAM lParam);
