// Pictures over the dialogs, the control font, the hover watch and the Settings dialog's
// paint, owner-draw and trackbar custom-draw handling.
#include "dialog_drawing.h"

#include "handle_owners_win.h"
#include "model/button_assignment.h"
#include "program_files_win.h"
#include "resources/settings_dialog_res.h"

#include <commctrl.h>

namespace {

constexpr wchar_t kBasicPictureFile[] = L"image\\bk.bmp";
constexpr wchar_t kMousePictureFile[] = L"image\\mouse.bmp";
constexpr wchar_t kLogoFile[] = L"image\\logo.bmp";
constexpr wchar_t kMakerPictureFile[] = L"image\\company.bmp";

HBITMAP LoadResourceBitmap(int id) {
    return LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
}

// The picture file in the program's own folder (started at log-on, the current folder is
// another), else the bitmap resource (0: none).
HBITMAP LoadPicture(const wchar_t* file, int fallbackId) {
    auto bitmap = static_cast<HBITMAP>(
        LoadImageW(nullptr, (ProgramFolder() + file).c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    if (bitmap == nullptr && fallbackId != 0) {
        bitmap = LoadResourceBitmap(fallbackId);
    }
    return bitmap;
}

// Draws the picture into the dialog's paint context at the anchor's top-left corner, so it
// may reach beyond the small anchor control.
void DrawPictureAtAnchor(HWND dialog, HDC dc, const wchar_t* file, int fallbackId, int anchorId) {
    HWND anchor = GetDlgItem(dialog, anchorId);
    if (anchor == nullptr) {
        return;
    }
    const UniqueBitmap bitmap(LoadPicture(file, fallbackId));
    if (!bitmap) {
        return;
    }
    RECT rect;
    GetWindowRect(anchor, &rect);
    POINT at{rect.left, rect.top};
    ScreenToClient(dialog, &at);
    BITMAP info{};
    if (GetObjectW(bitmap.Get(), sizeof(info), &info) == 0) {
        return;
    }
    const SIZE size = PictureSizeOn(dialog, SIZE{info.bmWidth, info.bmHeight});
    DrawTransparentAt(dc, bitmap.Get(), at, &size);
}

int DetailBitmapOf(int function) {
    switch (function) {
    case FunctionSingleKey:
        return IDB_DETAIL_SINGLE;
    case FunctionMacroKey:
        return IDB_DETAIL_MACRO;
    case FunctionStringKey:
        return IDB_DETAIL_STRING;
    case FunctionSelectProfile:
        return IDB_DETAIL_PROFILE;
    default:
        return 0;
    }
}

INT_PTR AnswerCustomDraw(HWND dialog, LONG_PTR result) {
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
    return TRUE;
}

constexpr wchar_t kFontProperty[] = L"TarnControlFont";

} // namespace

SIZE PictureSizeOn(HWND dialog, SIZE drawn) {
    const WindowDc dc(dialog);
    const int dpi = dc ? GetDeviceCaps(dc.Get(), LOGPIXELSY) : 96;
    if (dpi <= 96) {
        return drawn;
    }
    // The dialog's font grows less than the scale in height, so its controls stand closer
    // together than the scale alone would place them: the picture grows as the dialog units do.
    RECT units{0, 0, drawn.cx * 4, drawn.cy * 8};
    if (!MapDialogRect(dialog, &units)) {
        return SIZE{MulDiv(drawn.cx, dpi, 96), MulDiv(drawn.cy, dpi, 96)};
    }
    return SIZE{units.right / kPictureBaseUnitX, units.bottom / kPictureBaseUnitY};
}

void DrawTransparentAt(HDC target, HBITMAP bitmap, POINT at, const SIZE* size) {
    BITMAP info{};
    if (GetObjectW(bitmap, sizeof(info), &info) == 0) {
        return;
    }
    int w = info.bmWidth;
    int h = info.bmHeight;
    // The pictures are drawn for 96 dpi; at a larger scale the dialog's controls grow, so the
    // pictures must grow with them to stay beside the controls they point at.
    int dpi = GetDeviceCaps(target, LOGPIXELSX);
    int targetW = size != nullptr ? size->cx : dpi > 96 ? MulDiv(w, dpi, 96) : w;
    int targetH = size != nullptr ? size->cy : dpi > 96 ? MulDiv(h, dpi, 96) : h;
    // Whole pixels only: blended pixels would no longer match the mask.
    int oldStretchMode = SetStretchBltMode(target, COLORONCOLOR);
    const UniqueMemoryDc imageDc(CreateCompatibleDC(target));
    const UniqueMemoryDc maskDc(CreateCompatibleDC(target));
    const UniqueBitmap maskBitmap(CreateBitmap(w, h, 1, 1, nullptr));
    HDC image = imageDc.Get();
    HDC mask = maskDc.Get();
    const SelectedObject imageSelection(image, bitmap);
    const SelectedObject maskSelection(mask, maskBitmap.Get());

    // A monochrome source is expanded with the destination's text (0) and background (1)
    // colours: make them black and white so that the mask bits become exactly 0 and white.
    COLORREF targetText = SetTextColor(target, RGB(0, 0, 0));
    COLORREF targetBackground = SetBkColor(target, RGB(255, 255, 255));
    SetTextColor(image, RGB(0, 0, 0));

    COLORREF oldBackground = SetBkColor(image, kKeyColour);
    // Key-coloured pixels 0, all others 1: whiten the target where the picture is opaque.
    BitBlt(mask, 0, 0, w, h, image, 0, 0, NOTSRCCOPY);
    StretchBlt(target, at.x, at.y, targetW, targetH, mask, 0, 0, w, h, SRCPAINT);
    // Key-coloured pixels 1: whiten them in the picture, then AND it onto the target.
    BitBlt(mask, 0, 0, w, h, image, 0, 0, SRCCOPY);
    SetBkColor(image, oldBackground);
    SetBkColor(image, RGB(255, 255, 255));
    BitBlt(image, 0, 0, w, h, mask, 0, 0, SRCPAINT);
    StretchBlt(target, at.x, at.y, targetW, targetH, image, 0, 0, w, h, SRCAND);

    SetStretchBltMode(target, oldStretchMode);
    SetBkColor(target, targetBackground);
    SetTextColor(target, targetText);
}

void DrawTransparentOnControl(HWND dialog, HBITMAP bitmap, int controlId) {
    HWND control = GetDlgItem(dialog, controlId);
    if (control == nullptr) {
        return;
    }
    const WindowDc dc(control);
    if (!dc) {
        return;
    }
    DrawTransparentAt(dc.Get(), bitmap, POINT{0, 0});
}

HFONT CreateFontOfSize(HWND window, int points) {
    auto font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    LOGFONTW logFont{};
    if (font == nullptr || GetObjectW(font, sizeof(logFont), &logFont) == 0) {
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(logFont), &logFont);
    }
    {
        const WindowDc dc(window);
        logFont.lfHeight = -MulDiv(points, GetDeviceCaps(dc.Get(), LOGPIXELSY), 72);
    }
    return CreateFontIndirectW(&logFont);
}

void ApplyFontSize(HWND window, int points) {
    HFONT sized = CreateFontOfSize(window, points);
    if (sized == nullptr) {
        return;
    }
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(sized), TRUE);
    }
    // The font lives as long as the dialog's controls; ReleaseDialogFont deletes it.
    const UniqueFont previous(static_cast<HFONT>(RemovePropW(window, kFontProperty)));
    SetPropW(window, kFontProperty, sized);
}

void ReleaseDialogFont(HWND window) {
    const UniqueFont font(static_cast<HFONT>(RemovePropW(window, kFontProperty)));
}

void PaintDialogItself(HWND dialog) {
    const PaintScope paint(dialog);
}

void CALLBACK HoverWatch(HWND control, UINT, UINT_PTR timerId, DWORD) {
    RECT rect;
    GetClientRect(control, &rect);
    MapWindowPoints(control, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    POINT cursor{};
    GetCursorPos(&cursor);
    if (PtInRect(&rect, cursor) && WindowFromPoint(cursor) == control) {
        return;
    }
    KillTimer(control, timerId);
    PostMessageW(GetParent(control), WM_MOUSELEAVE, 0, 0);
}

void PaintSettingsPictures(HWND dialog, bool basic) {
    const PaintScope paint(dialog);
    const HDC dc = paint.Dc();
    if (basic) {
        DrawPictureAtAnchor(dialog, dc, kBasicPictureFile, IDB_BASIC, IDC_BASIC_ANCHOR);
    } else {
        DrawPictureAtAnchor(dialog, dc, kMousePictureFile, IDB_MOUSE, IDC_MOUSE_ANCHOR);
    }
    DrawPictureAtAnchor(dialog, dc, kLogoFile, 0, IDC_LOGO_ANCHOR);
    DrawPictureAtAnchor(dialog, dc, kMakerPictureFile, 0, IDC_MAKER_ANCHOR);
}

void DrawDetailButton(HWND dialog, const DRAWITEMSTRUCT* item, int function) {
    int id = static_cast<int>(item->CtlID);
    if (id < IDC_DETAIL1 || id >= IDC_DETAIL1 + kButtonCount) {
        return;
    }
    int bitmapId = DetailBitmapOf(function);
    if (bitmapId == 0) {
        return;
    }
    const UniqueBitmap bitmap(LoadResourceBitmap(bitmapId));
    if (!bitmap) {
        return;
    }
    DrawTransparentOnControl(dialog, bitmap.Get(), id);
}

INT_PTR TrackbarCustomDraw(HWND dialog, WPARAM wParam, LPARAM lParam) {
    if ((wParam != IDC_TRACK_X && wParam != IDC_TRACK_Y) || lParam == 0) {
        return FALSE;
    }
    auto* draw = reinterpret_cast<NMCUSTOMDRAW*>(lParam);
    if (draw->hdr.code != static_cast<UINT>(NM_CUSTOMDRAW)) {
        return FALSE;
    }
    switch (draw->dwDrawStage) {
    case CDDS_PREPAINT:
        return AnswerCustomDraw(dialog,
                                CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT | CDRF_NOTIFYPOSTERASE);
    case CDDS_POSTPAINT:
    case CDDS_PREERASE:
    case CDDS_POSTERASE:
    case CDDS_ITEMPREERASE:
    case CDDS_ITEMPOSTERASE:
        return AnswerCustomDraw(dialog, 0);
    case CDDS_ITEMPREPAINT:
        if (draw->dwItemSpec == TBCD_TICS || draw->dwItemSpec == TBCD_THUMB) {
            bool tics = draw->dwItemSpec == TBCD_TICS;
            const UniqueBitmap bitmap(LoadResourceBitmap(tics ? IDB_TRACKBAR : IDB_THUMB));
            if (bitmap) {
                POINT at = tics ? POINT{0, 0} : POINT{draw->rc.left, draw->rc.top};
                DrawTransparentAt(draw->hdc, bitmap.Get(), at);
            }
            return AnswerCustomDraw(dialog, CDRF_SKIPDEFAULT);
        }
        if (draw->dwItemSpec == TBCD_CHANNEL) {
            return AnswerCustomDraw(dialog, CDRF_NOTIFYPOSTPAINT);
        }
        return FALSE;
    case CDDS_ITEMPOSTPAINT:
        if (draw->dwItemSpec == TBCD_CHANNEL) {
            const SelectedObject pen(draw->hdc, GetStockObject(WHITE_PEN));
            Rectangle(draw->hdc, draw->rc.left, draw->rc.top, draw->rc.right, draw->rc.bottom);
            return AnswerCustomDraw(dialog, CDRF_SKIPDEFAULT);
        }
        return AnswerCustomDraw(dialog, 0);
    default:
        return FALSE;
    }
}
