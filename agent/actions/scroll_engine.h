// Horizontal scroll engine: one step at the pointer, by the class of the window under it.
// Runs only on the agent's window thread; all state below is owned by this module.
#pragma once

#include <cstdint>

struct HWND__; // the Win32 window handle type (HWND), without pulling in <windows.h>

// Direction of the next step: 1 = right, 255 or -1 = left, anything else = no step.
// Written only by StoreTilt.
extern int32_t tiltState;
// The tilt a driver event reported, or the one a dispatcher's tilt action steps toward; the
// repeat timer keeps stepping that way.
void StoreTilt(int32_t tilt);
// Window or control chosen by the last search; kept between steps.
extern HWND__* scrollTarget;
// Cleared at the start of every search, set when the search chose scrollTarget.
extern bool targetFound;
// Set once a search has started on a window that is not "Static"; never cleared.
extern bool staticSeen;

// One horizontal step (repeated by the horizontal repeat count of agentSettings).
void ScrollStep();

// ---- Windows-free decisions, shared by the glue and the native tests ----

enum class ScrollDirection { None, Left, Right };
ScrollDirection DirectionOfTilt(int32_t tilt);
uint32_t HScrollRequestOf(ScrollDirection direction);      // SB_LINELEFT 0 / SB_LINERIGHT 1
uint32_t ArrowKeyOf(ScrollDirection direction);            // VK_LEFT 0x25 / VK_RIGHT 0x27
int32_t DocumentScrollPixelsOf(ScrollDirection direction); // -9 / +9

enum class ScrollMethod { DocumentObject, KeysAsMessages, KeysAsInput, Generic };
// Decision by the exact (case-sensitive) class name of the window under the pointer.
ScrollMethod ScrollMethodOfClass(const wchar_t* className);

// First step of a search: true = test the window itself (and its descendants), false = go
// straight to its parent's descendants. Updates staticSeen.
bool SearchStartsAtWindow(const wchar_t* className);

inline constexpr uint32_t kStyleVisible = 0x10000000;  // WS_VISIBLE
inline constexpr uint32_t kStyleDisabled = 0x08000000; // WS_DISABLED
inline constexpr uint32_t kStyleHScroll = 0x00100000;  // WS_HSCROLL
inline constexpr uint32_t kBarStyleVert = 0x1;         // SBS_VERT
inline constexpr uint32_t kBarStyleSizeBox = 0x8;      // SBS_SIZEBOX

bool IsShownAndEnabled(uint32_t style);
// "ScrollBar" or "NUIScrollbar": such a target is scrolled through its parent.
bool IsScrollBarClass(const wchar_t* className);

// How ChildScrollTest treats one child before any position or bar test.
enum class ChildKind { Skip, HorizontalBarControl, OwnBarCandidate, NoBar };
ChildKind ClassifyChild(const wchar_t* className, uint32_t style);
// A horizontal bar control is usable unless it lies wholly left of the pointer.
bool BarReachesPointer(int32_t pointerX, int32_t barRight);

// ---- Win32 side (scroll_engine_win.cpp) ----

// Looks around w for a usable horizontal scroll bar; sets scrollTarget and targetFound.
bool FindScrollTarget(HWND__* w);
// EnumChildWindows callback: nonzero to go on, 0 to stop (a target was chosen).
int ChildScrollTest(HWND__* child, intptr_t unused);
void ScrollBrowserByKeys(HWND__* w, uint32_t repeatCount, ScrollDirection direction);
// Scrolls the HTML document of an embedded browser window; 0 (S_OK) when it did.
long ScrollDocumentObject(HWND__* w, uint32_t repeatCount, ScrollDirection direction);
