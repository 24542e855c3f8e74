#include "dialog_conventions_win.h"

#include <algorithm>

namespace {

constexpr wchar_t kDialogClass[] = L"#32770";

bool IsDialog(HWND window) {
    wchar_t name[8] = {};
    return GetClassNameW(window, name, 8) > 0 && lstrcmpW(name, kDialogClass) == 0;
}

RECT WorkAreaOf(HWND window) {
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info);
    return info.rcWork;
}

// Moves the window's centre to `centre`, but never past the edges of `area`.
void CentreAt(HWND window, POINT centre, const RECT& area) {
    RECT frame = {};
    GetWindowRect(window, &frame);
    const LONG width = frame.right - frame.left;
    const LONG height = frame.bottom - frame.top;
    LONG left = centre.x - width / 2;
    LONG top = centre.y - height / 2;
    left = std::max(area.left, std::min(left, area.right - width));
    top = std::max(area.top, std::min(top, area.bottom - height));
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

void DispatchDeskMessage(MSG& message) {
    if (message.hwnd != nullptr) {
        HWND root = GetAncestor(message.hwnd, GA_ROOT);
        if (root != nullptr && IsDialog(root) && IsDialogMessageW(root, &message)) {
            return;
        }
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

void CentreOnWorkArea(HWND window) {
    const RECT area = WorkAreaOf(window);
    CentreAt(window, {(area.left + area.right) / 2, (area.top + area.bottom) / 2}, area);
}

void CentreOverOwner(HWND window) {
    HWND owner = GetWindow(window, GW_OWNER);
    if (owner == nullptr || !IsWindowVisible(owner)) {
        CentreOnWorkArea(window);
        return;
    }
    RECT over = {};
    GetWindowRect(owner, &over);
    CentreAt(window, {(over.left + over.right) / 2, (over.top + over.bottom) / 2},
             WorkAreaOf(owner));
}
