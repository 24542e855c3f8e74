// Win32 side of the action dispatcher (being filled in).
#include <windows.h>

#include "actions.h"

void RunButtonActions(uint32_t) {}
void CloseTool(const wchar_t*) {}
void ToggleTool(const wchar_t*, const wchar_t*) {}
void BrowserNavigate(int) {}
uint32_t ClassifyBrowser(HWND) {
    return 0;
}
void ActivateProcessByPath(const wchar_t*, void*) {}
