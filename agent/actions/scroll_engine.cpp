// Windows-free decisions of the scroll engine and its process-wide state.
#include "scroll_engine.h"

#include <cwchar>

int32_t tiltState = 0;
HWND__* scrollTarget = nullptr;
bool targetFound = false;
bool staticSeen = false;

namespace {
bool SameClass(const wchar_t* className, const wchar_t* expected) {
    return className != nullptr && std::wcscmp(className, expected) == 0;
}
} // namespace

void StoreTilt(int32_t tilt) {
    tiltState = tilt;
}

ScrollDirection DirectionOfTilt(int32_t tilt) {
    if (tilt == 1) {
        return ScrollDirection::Right;
    }
    if (tilt == 255 || tilt == -1) {
        return ScrollDirection::Left;
    }
    return ScrollDirection::None;
}

uint32_t HScrollRequestOf(ScrollDirection direction) {
    return direction == ScrollDirection::Right ? 1u : 0u;
}

uint32_t ArrowKeyOf(ScrollDirection direction) {
    return direction == ScrollDirection::Right ? 0x27u : 0x25u;
}

int32_t DocumentScrollPixelsOf(ScrollDirection direction) {
    return direction == ScrollDirection::Right ? 9 : -9;
}

ScrollMethod ScrollMethodOfClass(const wchar_t* className) {
    if (SameClass(className, L"Internet Explorer_Server")) {
        return ScrollMethod::DocumentObject;
    }
    if (SameClass(className, L"MozillaWindowClass") || SameClass(className, L"NS_AE_WindowClass") ||
        SameClass(className, L"WebViewWindowClass")) {
        return ScrollMethod::KeysAsMessages;
    }
    if (SameClass(className, L"OperaWindowClass")) {
        return ScrollMethod::KeysAsInput;
    }
    return ScrollMethod::Generic;
}

bool SearchStartsAtWindow(const wchar_t* className) {
    if (!SameClass(className, L"Static")) {
        staticSeen = true;
        return true;
    }
    // Until some real window has been searched, a label under the pointer stands for the
    // dialog around it.
    return staticSeen;
}

bool IsShownAndEnabled(uint32_t style) {
    return (style & kStyleVisible) != 0 && (style & kStyleDisabled) == 0;
}

bool IsScrollBarClass(const wchar_t* className) {
    return SameClass(className, L"ScrollBar") || SameClass(className, L"NUIScrollbar");
}

ChildKind ClassifyChild(const wchar_t* className, uint32_t style) {
    if (SameClass(className, L"Static") || !IsShownAndEnabled(style)) {
        return ChildKind::Skip;
    }
    if (IsScrollBarClass(className) && (style & (kBarStyleVert | kBarStyleSizeBox)) == 0) {
        return ChildKind::HorizontalBarControl;
    }
    return (style & kStyleHScroll) != 0 ? ChildKind::OwnBarCandidate : ChildKind::NoBar;
}

bool BarReachesPointer(int32_t pointerX, int32_t barRight) {
    return pointerX <= barRight;
}
