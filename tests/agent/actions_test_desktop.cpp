// Desktop fixtures shared by the dispatcher and scroll-engine tests.
#include "actions_test_desktop.h"

#include <mutex>
#include <string>

namespace {
std::mutex recordLock;
std::vector<RecordedMessage> recorded;
std::vector<InjectedKey> injectedKeys;
std::vector<WPARAM> injectedMouse;
constexpr const wchar_t* kOriginalProc = L"TarnTestOriginalProc";

bool Interesting(UINT message) {
    switch (message) {
    case WM_HSCROLL:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_COMMAND:
    case WM_APPCOMMAND:
    case WM_CLOSE:
        return true;
    default:
        return false;
    }
}

void Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (Interesting(message)) {
        std::lock_guard<std::mutex> hold(recordLock);
        recorded.push_back({window, message, wParam, lParam});
    }
}

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Record(window, message, wParam, lParam);
    if (message == WM_CLOSE || message == WM_APPCOMMAND) {
        return 0; // recorded only: tests close their windows themselves
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Record(window, message, wParam, lParam);
    auto original = reinterpret_cast<WNDPROC>(GetPropW(window, kOriginalProc));
    return CallWindowProcW(original, window, message, wParam, lParam);
}

LRESULT CALLBACK KeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* info = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        if ((info->flags & LLKHF_INJECTED) != 0) {
            injectedKeys.push_back(
                {info->vkCode, info->scanCode, (info->flags & LLKHF_UP) != 0, info->time});
            return 1;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK MouseHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* info = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
        if ((info->flags & LLMHF_INJECTED) != 0 && wParam != WM_MOUSEMOVE) {
            injectedMouse.push_back(wParam);
            return 1;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
} // namespace

std::vector<RecordedMessage> RecordedMessages() {
    std::lock_guard<std::mutex> hold(recordLock);
    return recorded;
}

std::vector<RecordedMessage> RecordedMessages(UINT message) {
    std::vector<RecordedMessage> some;
    for (const RecordedMessage& m : RecordedMessages()) {
        if (m.message == message) {
            some.push_back(m);
        }
    }
    return some;
}

void ClearRecordedMessages() {
    std::lock_guard<std::mutex> hold(recordLock);
    recorded.clear();
}

HWND CreateRecordingWindow(const wchar_t* className, DWORD style, int x, int y, int width,
                           int height, HWND parent, const wchar_t* title) {
    WNDCLASSW wc = {};
    if (!GetClassInfoW(GetModuleHandleW(nullptr), className, &wc)) {
        wc.lpfnWndProc = RecordingProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = className;
        RegisterClassW(&wc);
    }
    if (parent != nullptr) {
        return CreateWindowExW(0, className, title, style, x, y, width, height, parent, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    }
    // Top-level windows are shown without activation: Wine hands activated windows to the
    // (absent) window manager and then waits two seconds for it whenever they are destroyed.
    HWND window = CreateWindowExW(WS_EX_TOPMOST, className, title, style & ~WS_VISIBLE, x, y, width,
                                  height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window != nullptr && (style & WS_VISIBLE) != 0) {
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    }
    return window;
}

void RecordMessagesOf(HWND control) {
    const LONG_PTR original = GetWindowLongPtrW(control, GWLP_WNDPROC);
    SetPropW(control, kOriginalProc, reinterpret_cast<HANDLE>(original));
    SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc));
}

void EnableHorizontalBar(HWND window) {
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = 1000;
    info.nPage = 100;
    SetScrollInfo(window, SB_HORZ, &info, TRUE);
    ShowScrollBar(window, SB_HORZ, TRUE);
    EnableScrollBar(window, SB_HORZ, ESB_ENABLE_BOTH);
}

void DisableHorizontalBar(HWND window) {
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    SetScrollInfo(window, SB_HORZ, &info, TRUE);
    EnableScrollBar(window, SB_HORZ, ESB_DISABLE_BOTH);
}

bool PlacePointer(HWND window, int clientX, int clientY) {
    POINT point = {clientX, clientY};
    ClientToScreen(window, &point);
    SetCursorPos(point.x, point.y);
    POINT now = {};
    for (int attempt = 0; attempt < 50; ++attempt) {
        PumpMessagesFor(2, 1);
        if (GetCursorPos(&now) && now.x == point.x && now.y == point.y) {
            return true;
        }
    }
    return false;
}

InputRecorder::InputRecorder()
    : keyboard_(SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardHook, GetModuleHandleW(nullptr), 0)),
      mouse_(SetWindowsHookExW(WH_MOUSE_LL, MouseHook, GetModuleHandleW(nullptr), 0)) {
    Clear();
}

InputRecorder::~InputRecorder() {
    if (keyboard_ != nullptr) {
        UnhookWindowsHookEx(keyboard_);
    }
    if (mouse_ != nullptr) {
        UnhookWindowsHookEx(mouse_);
    }
}

const std::vector<InjectedKey>& InputRecorder::Keys() const {
    return injectedKeys;
}
const std::vector<WPARAM>& InputRecorder::MouseMessages() const {
    return injectedMouse;
}

void InputRecorder::Clear() {
    injectedKeys.clear();
    injectedMouse.clear();
}
