// Win32 side of the scroll engine: finds the window under the pointer and scrolls it by
// WM_HSCROLL, by arrow keys or through its HTML document object.
#include <windows.h>

#include <mshtml.h>
#include <oleacc.h>

#include "agent_settings.h"
#include "scroll_engine.h"

namespace {
constexpr int kClassNameFieldCount = 256;
constexpr UINT kDocumentRequestTimeoutMs = 1000;
constexpr DWORD kKeyHoldMs = 20;
// A browser window that does not take its key within this long is not waited for: the agent's
// one window thread runs every button action, so a hung window must not stop them all.
constexpr UINT kKeyMessageTimeoutMs = 250;

bool SendKeyMessage(HWND w, UINT message, BYTE key) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(w, message, key, 0, SMTO_ABORTIFHUNG, kKeyMessageTimeoutMs,
                               &result) != 0;
}

// {332C4425-26CB-11D0-B483-00C04FD90119}
constexpr IID kIidHtmlDocument2 = {
    0x332C4425, 0x26CB, 0x11D0, {0xB4, 0x83, 0x00, 0xC0, 0x4F, 0xD9, 0x01, 0x19}};
// {332C4427-26CB-11D0-B483-00C04FD90119}
constexpr IID kIidHtmlWindow2 = {
    0x332C4427, 0x26CB, 0x11D0, {0xB4, 0x83, 0x00, 0xC0, 0x4F, 0xD9, 0x01, 0x19}};

// Pointer position taken at the start of the current step; ChildScrollTest compares with it.
POINT stepPointer = {};

void ClassNameOf(HWND window, wchar_t (&name)[kClassNameFieldCount]) {
    name[0] = 0;
    if (GetClassNameW(window, name, kClassNameFieldCount) <= 0) {
        name[0] = 0;
    }
}

uint32_t StyleOf(HWND window) {
    return static_cast<uint32_t>(GetWindowLongW(window, GWL_STYLE));
}

bool HorizontalBarAvailable(HWND window) {
    SCROLLBARINFO info = {};
    info.cbSize = sizeof(info);
    if (!GetScrollBarInfo(window, static_cast<LONG>(OBJID_HSCROLL), &info)) {
        return false;
    }
    return (info.rgstate[0] & STATE_SYSTEM_UNAVAILABLE) == 0;
}

bool HasUsableOwnBar(HWND window, uint32_t style) {
    return IsShownAndEnabled(style) && (style & kStyleHScroll) != 0 &&
           HorizontalBarAvailable(window);
}

void Choose(HWND window) {
    scrollTarget = window;
    targetFound = true;
}

BOOL CALLBACK ChildScrollTestProc(HWND child, LPARAM unused) {
    return ChildScrollTest(child, unused) ? TRUE : FALSE;
}

// EnumChildWindows with no parent would walk every top-level window; a window without a
// parent simply has no siblings to offer.
bool SearchDescendants(HWND window) {
    if (window == nullptr) {
        return false;
    }
    EnumChildWindows(window, ChildScrollTestProc, 0);
    return targetFound;
}

template <typename T> void ReleaseIf(T*& object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}
} // namespace

static_assert(sizeof(SCROLLBARINFO) == 60, "GetScrollBarInfo expects the 60-byte record");

int ChildScrollTest(HWND child, intptr_t) {
    wchar_t name[kClassNameFieldCount];
    ClassNameOf(child, name);
    const uint32_t style = StyleOf(child);
    switch (ClassifyChild(name, style)) {
    case ChildKind::Skip:
    case ChildKind::NoBar:
        return TRUE;
    case ChildKind::HorizontalBarControl: {
        RECT rect = {};
        if (GetWindowRect(child, &rect) && BarReachesPointer(stepPointer.x, rect.right)) {
            Choose(child);
            return FALSE;
        }
        return TRUE;
    }
    case ChildKind::OwnBarCandidate:
        if (HorizontalBarAvailable(child)) {
            Choose(child);
            return FALSE;
        }
        return TRUE;
    }
    return TRUE;
}

bool FindScrollTarget(HWND w) {
    wchar_t name[kClassNameFieldCount];
    ClassNameOf(w, name);
    if (SearchStartsAtWindow(name)) {
        const uint32_t style = StyleOf(w);
        if (!IsShownAndEnabled(style)) {
            return false;
        }
        if ((style & kStyleHScroll) != 0 && HorizontalBarAvailable(w)) {
            Choose(w);
            return true;
        }
        if (SearchDescendants(w)) {
            return true;
        }
    }
    const HWND parent = GetParent(w);
    if (SearchDescendants(parent)) {
        return true;
    }
    if (parent != nullptr && HasUsableOwnBar(parent, StyleOf(parent))) {
        Choose(parent);
        return true;
    }
    return false;
}

void ScrollBrowserByKeys(HWND w, uint32_t repeatCount, ScrollDirection direction) {
    wchar_t name[kClassNameFieldCount];
    ClassNameOf(w, name);
    const ScrollMethod method = ScrollMethodOfClass(name);
    const auto key = static_cast<BYTE>(ArrowKeyOf(direction));
    for (uint32_t i = 0; i < repeatCount; ++i) {
        if (method == ScrollMethod::KeysAsMessages) {
            if (!SendKeyMessage(w, WM_KEYDOWN, key)) {
                return; // hung or gone: the remaining steps would only wait too
            }
            Sleep(kKeyHoldMs);
            SendKeyMessage(w, WM_KEYUP, key);
        } else if (method == ScrollMethod::KeysAsInput) {
            const auto scan = static_cast<BYTE>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
            keybd_event(key, scan, 0, 0);
            Sleep(kKeyHoldMs);
            keybd_event(key, scan, KEYEVENTF_KEYUP, 0);
        }
    }
}

long ScrollDocumentObject(HWND w, uint32_t repeatCount, ScrollDirection direction) {
    const UINT request = RegisterWindowMessageW(L"WM_HTML_GETOBJECT");
    DWORD_PTR result = 0;
    if (request == 0 || !SendMessageTimeoutW(w, request, 0, 0, SMTO_ABORTIFHUNG,
                                             kDocumentRequestTimeoutMs, &result)) {
        result = 0; // a timed-out request leaves nothing to turn into an object
    }
    IHTMLDocument2* document = nullptr;
    HRESULT code = ObjectFromLresult(static_cast<LRESULT>(result), kIidHtmlDocument2, 0,
                                     reinterpret_cast<void**>(&document));
    if (FAILED(code) || document == nullptr) {
        return FAILED(code) ? code : E_NOINTERFACE;
    }
    IDispatch* script = nullptr;
    IHTMLWindow2* window = nullptr;
    IHTMLFramesCollection2* frames = nullptr;
    code = document->get_Script(&script);
    if (SUCCEEDED(code)) {
        if (script == nullptr ||
            FAILED(script->QueryInterface(kIidHtmlWindow2, reinterpret_cast<void**>(&window))) ||
            window == nullptr) {
            code = E_NOINTERFACE;
        } else {
            code = window->get_frames(&frames);
        }
    }
    if (SUCCEEDED(code)) {
        // No repeat means no scroll; anything but S_OK lets the generic method decide.
        code = S_FALSE;
        const LONG dx = DocumentScrollPixelsOf(direction);
        for (uint32_t i = 0; i < repeatCount; ++i) {
            code = window->scrollBy(dx, 0);
        }
    }
    ReleaseIf(frames);
    ReleaseIf(window);
    ReleaseIf(script);
    ReleaseIf(document);
    return code;
}

void ScrollStep() {
    const uint32_t repeatCount = HorizontalRepeatCount(agentSettings);
    POINT pointer = {};
    if (GetCursorPos(&pointer)) {
        stepPointer = pointer;
    }
    const HWND w = WindowFromPoint(stepPointer);
    const ScrollDirection direction = DirectionOfTilt(tiltState);
    if (direction == ScrollDirection::None || w == nullptr) {
        return;
    }
    wchar_t name[kClassNameFieldCount];
    ClassNameOf(w, name);
    switch (ScrollMethodOfClass(name)) {
    case ScrollMethod::DocumentObject:
        if (ScrollDocumentObject(w, repeatCount, direction) == S_OK) {
            return;
        }
        break;
    case ScrollMethod::KeysAsMessages:
    case ScrollMethod::KeysAsInput:
        ScrollBrowserByKeys(w, repeatCount, direction);
        return;
    case ScrollMethod::Generic:
        break;
    }

    targetFound = false;
    FindScrollTarget(w);
    const WPARAM wParam = MAKEWPARAM(HScrollRequestOf(direction), 0);
    for (uint32_t i = 0; i < repeatCount; ++i) {
        if (targetFound) {
            wchar_t targetName[kClassNameFieldCount];
            ClassNameOf(scrollTarget, targetName);
            const LPARAM bar = reinterpret_cast<LPARAM>(scrollTarget);
            if (IsScrollBarClass(targetName)) {
                PostMessageW(GetParent(scrollTarget), WM_HSCROLL, wParam, bar);
            } else {
                PostMessageW(scrollTarget, WM_HSCROLL, wParam, bar);
            }
        } else {
            PostMessageW(w, WM_HSCROLL, wParam, 0);
        }
    }
}
