// Win32 side of the scroll engine (being filled in).
#include <windows.h>

#include "scroll_engine.h"

void ScrollStep() {}
bool FindScrollTarget(HWND) {
    return false;
}
int ChildScrollTest(HWND, intptr_t) {
    return 1;
}
void ScrollBrowserByKeys(HWND, uint32_t, ScrollDirection) {}
long ScrollDocumentObject(HWND, uint32_t, ScrollDirection) {
    return E_FAIL;
}
