#include "progress_window_win.h"

#include "dialog_conventions_win.h"
#include "handle_owners_win.h"

#include <commctrl.h>

#include <atomic>
#include <thread>

namespace {

constexpr int kTextId = 100;
constexpr int kBarId = 101;
constexpr UINT kMovedMessage = WM_APP + 1;     // wParam: blocks done, lParam: of how many
constexpr UINT kCommittedMessage = WM_APP + 2; // the transfer cannot stop any more
constexpr UINT kDoneMessage = WM_APP + 3;      // the transfer ended

// Shared by the window (on the window thread) and the transfer's thread.
struct Progress final : TransferProgress {
    HWND window = nullptr;
    std::atomic<bool> stop{false};
    bool finished = false; // window thread only

    void Moved(int done, int total) override {
        PostMessageW(window, kMovedMessage, static_cast<WPARAM>(done), total);
    }
    bool StopAsked() override { return stop.load(); }
    void Committed() override { PostMessageW(window, kCommittedMessage, 0, 0); }
};

void AskToStop(HWND window, Progress& progress) {
    HWND cancel = GetDlgItem(window, IDCANCEL);
    if (cancel != nullptr && IsWindowEnabled(cancel)) {
        progress.stop = true;
        EnableWindow(cancel, FALSE);
    }
}

LRESULT CALLBACK ProgressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* progress = reinterpret_cast<Progress*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (progress == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    switch (message) {
    case kMovedMessage:
        SendDlgItemMessageW(window, kBarId, PBM_SETRANGE32, 0, lParam);
        SendDlgItemMessageW(window, kBarId, PBM_SETPOS, wParam, 0);
        return 0;
    case kCommittedMessage:
        EnableWindow(GetDlgItem(window, IDCANCEL), FALSE);
        return 0;
    case kDoneMessage:
        progress->finished = true;
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            AskToStop(window, *progress);
        }
        return 0;
    case WM_CLOSE: // the close box and Alt+F4 mean Cancel; the window ends with the transfer
        AskToStop(window, *progress);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

bool RegisterProgressClass(HINSTANCE instance) {
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, kProgressWindowClass, &existing)) {
        return true;
    }
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = ProgressProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kProgressWindowClass;
    return RegisterClassExW(&windowClass) != 0;
}

// The window with its text, bar and Cancel, laid out for the screen's dpi and centred.
HWND CreateProgressWindow(HWND owner, const TextSettings& texts, const std::wstring& what,
                          Progress& progress, HFONT font) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterProgressClass(instance)) {
        return nullptr;
    }
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_PROGRESS_CLASS;
    InitCommonControlsEx(&controls);
    int dpi = 96;
    if (HDC screen = GetDC(nullptr)) {
        dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    auto px = [dpi](int at96) { return MulDiv(at96, dpi, 96); };
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    const DWORD exStyle = WS_EX_DLGMODALFRAME;
    RECT frame = {0, 0, px(340), px(108)};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    HWND window = CreateWindowExW(exStyle, kProgressWindowClass,
                                  texts.LookupDefault(kTitleKey, kDefaultTitle).c_str(), style,
                                  CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                                  frame.bottom - frame.top, owner, nullptr, instance, &progress);
    if (window == nullptr) {
        return nullptr;
    }
    progress.window = window;
    const std::wstring cancel = texts.LookupDefault(L"2", L"Cancel");
    HWND children[] = {
        CreateWindowExW(0, L"STATIC", what.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT, px(12), px(12),
                        px(316), px(20), window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTextId)), instance, nullptr),
        CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE, px(12), px(38), px(316),
                        px(16), window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kBarId)),
                        instance, nullptr),
        CreateWindowExW(0, L"BUTTON", cancel.c_str(),
                        WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, px(240), px(70),
                        px(88), px(26), window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDCANCEL)), instance, nullptr),
    };
    for (HWND child : children) {
        if (child != nullptr) {
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        }
    }
    CentreOverOwner(window);
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    SetFocus(GetDlgItem(window, IDCANCEL));
    return window;
}

HFONT MessageFont() {
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        return nullptr;
    }
    return CreateFontIndirectW(&metrics.lfMessageFont);
}

} // namespace

int RunWithProgress(HWND owner, const TextSettings& texts, const std::wstring& what,
                    const std::function<int(TransferProgress&)>& work) {
    Progress progress;
    const UniqueFont font(MessageFont());
    HWND window = CreateProgressWindow(owner, texts, what, progress, font.Get());
    if (window == nullptr) {
        return work(progress); // no window: the transfer still runs, on this thread
    }
    const bool ownerWasEnabled = owner != nullptr && EnableWindow(owner, FALSE) == FALSE;
    int result = kExitWriteFailed;
    std::thread transfer([&] {
        result = work(progress);
        PostMessageW(window, kDoneMessage, 0, 0);
    });
    bool quit = false;
    WPARAM quitCode = 0;
    // The program's own loop in small: every window of the thread is served, and keys of the
    // progress window go through the dialog manager (Escape is Cancel).
    while (!progress.finished) {
        MSG message = {};
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            quit = true; // kept for the program's loop once the transfer is over
            quitCode = message.wParam;
            continue;
        }
        if (got < 0) {
            break;
        }
        if (!IsDialogMessageW(window, &message)) {
            DispatchDeskMessage(message);
        }
    }
    transfer.join();
    if (ownerWasEnabled) {
        EnableWindow(owner, TRUE);
    }
    DestroyWindow(window);
    if (quit) {
        PostQuitMessage(static_cast<int>(quitCode));
    }
    return result;
}
