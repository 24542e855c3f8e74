// Drawing helpers of the configurator's dialogs: pictures with the yellow key colour laid
// over a dialog, the configured font size, the hover watch of the hand cursor, and the
// Settings dialog's paint, owner-draw and trackbar custom-draw handling.
#pragma once

#include <windows.h>

// Pixels of this colour are not drawn.
inline constexpr COLORREF kKeyColour = RGB(255, 255, 0);
inline constexpr UINT_PTR kHoverTimerId = 2;
inline constexpr UINT kHoverPeriodMs = 10;

// Draws the bitmap at the top-left corner of the dialog's control. The caller deletes it.
void DrawTransparentOnControl(HWND dialog, HBITMAP bitmap, int controlId);
// Draws the bitmap with its top-left corner at `at`, `size` pixels large (null: the display's
// scale of its own size). The bitmap's key-coloured pixels are turned white in place; the
// caller deletes it.
void DrawTransparentAt(HDC target, HBITMAP bitmap, POINT at, const SIZE* size = nullptr);
// The dialog units the Settings dialog's pictures were drawn at (96 dpi, 8-point font).
inline constexpr int kPictureBaseUnitX = 6;
inline constexpr int kPictureBaseUnitY = 12;
// The pixels a picture `drawn` large at 96 dpi takes over the dialog: its own size at 96 dpi,
// else its size in the dialog's units, so that it stays beside the controls it points at.
SIZE PictureSizeOn(HWND dialog, SIZE drawn);
// The window's font (or the system's GUI font) at `points` points on the window's screen;
// null when it cannot be made. The caller deletes it.
HFONT CreateFontOfSize(HWND window, int points);
// Gives every child window a font of `points` points, the language's dialog font size (the
// window's own font stays).
void ApplyFontSize(HWND window, int points);
// Deletes the font ApplyFontSize gave the window's children; call when the dialog ends.
void ReleaseDialogFont(HWND window);
// Answers WM_PAINT for a dialog without pictures. Validates only the dialog itself:
// ValidateRect on a window without WS_CLIPCHILDREN validates its controls too, and they would
// never paint.
void PaintDialogItself(HWND dialog);
// Timer procedure on a hovered control: posts WM_MOUSELEAVE to its parent once the pointer
// has left it.
void CALLBACK HoverWatch(HWND control, UINT message, UINT_PTR timerId, DWORD time);

// The Settings dialog's pictures (WM_PAINT; the basic layout's or the profile layout's), detail
// buttons (WM_DRAWITEM; the picture of the button's function) and resolution trackbars
// (WM_NOTIFY custom draw; returns TRUE with DWLP_MSGRESULT set when answered).
void PaintSettingsPictures(HWND dialog, bool basic);
void DrawDetailButton(HWND dialog, const DRAWITEMSTRUCT* item, int function);
INT_PTR TrackbarCustomDraw(HWND dialog, WPARAM wParam, LPARAM lParam);
