// The recorder dialog and its low-level keyboard hook.
#include "recorder_win.h"

#include "device_channel.h"
#include "handle_owners_win.h"
#include "dialog_drawing.h"
#include "key_tables.h"
#include "profile_cache.h"
#include "profile_record.h"
#include "resources/recorder_res.h"
#include "text_files.h"

#include <cwchar>

namespace {

constexpr UINT_PTR kBlinkTimerId = 1;
constexpr UINT kBlinkPeriodMs = 500;
constexpr int kRowHeight = 14;
constexpr int kRowTextX = 2;
constexpr int kRowBitmapX = 180;
constexpr int kRowFieldCount = 256;
// The controls whose texts the language file translates.
constexpr int kTranslatedControls[] = {IDC_START, IDC_STOP, IDC_APPLY, IDC_RECORDING, IDC_CANCEL};

// Rows are 14 pixels at 96 dpi; at a larger scale the font grows, so the rows grow with it.
int ScaledForDisplay(HWND window, int pixels) {
    const WindowDc dc(window);
    const int dpi = dc ? GetDeviceCaps(dc.Get(), LOGPIXELSY) : 96;
    return dpi > 96 ? MulDiv(pixels, dpi, 96) : pixels;
}

HWND recorderDialog = nullptr;
UniqueHook keyboardHook;
UniqueBitmap pressBitmap;
UniqueBitmap releaseBitmap;

void AddRow(const wchar_t* text, bool press) {
    HWND list = GetDlgItem(recorderDialog, IDC_EVENTS);
    LRESULT index = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (index < 0) {
        return;
    }
    SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(press ? pressBitmap.Get() : releaseBitmap.Get()));
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void ShowItem(HWND dialog, int id, bool shown) {
    ShowWindow(GetDlgItem(dialog, id), shown ? SW_SHOW : SW_HIDE);
}

void EnableItem(HWND dialog, int id, bool enabled) {
    EnableWindow(GetDlgItem(dialog, id), enabled ? TRUE : FALSE);
}

void ListStoredEvents() {
    int count = LoadStoredEvents();
    for (int i = 0; i < count; ++i) {
        KeyEvent event = ReadKeyEvent(workEvents, i);
        bool press = (event.flags & kEventPress) != 0;
        wchar_t row[kRowFieldCount];
        FormatEventRow(row, kRowFieldCount, NameOfUsage(event.usage), press, true);
        AddRow(row, press);
    }
}

void ShowStoredString(HWND dialog) {
    wchar_t text[kStoredTextFieldCount + 1] = {};
    if (StoredStringText(text, kStoredTextFieldCount)) {
        SetDlgItemTextW(dialog, IDC_STRING, text);
    }
}

void StopRecording(HWND dialog) {
    ShowItem(dialog, IDC_RECORDING, false);
    recordingLabelShown = 0;
    KillTimer(dialog, kBlinkTimerId);
    EnableItem(dialog, IDC_START, true);
    EnableItem(dialog, IDC_APPLY, true);
    EnableItem(dialog, IDC_STOP, false);
    keyboardHook.Reset();
}

void StartRecording(HWND dialog) {
    BeginRecording();
    keyboardHook.Reset(
        SetWindowsHookExW(WH_KEYBOARD_LL, RecordKeyProc, GetModuleHandleW(nullptr), 0));
    recordingLabelShown = 1;
    ShowItem(dialog, IDC_RECORDING, true);
    SendDlgItemMessageW(dialog, IDC_EVENTS, LB_RESETCONTENT, 0, 0);
    EnableItem(dialog, IDC_START, false);
    EnableItem(dialog, IDC_APPLY, false);
    EnableItem(dialog, IDC_STOP, true);
    SetTimer(dialog, kBlinkTimerId, kBlinkPeriodMs, nullptr);
}

void ReleaseBitmaps() {
    pressBitmap.Reset();
    releaseBitmap.Reset();
}

int16_t ScanKey(wchar_t character) {
    return VkKeyScanW(character);
}

void Apply(HWND dialog) {
    if (editedFunction == FunctionStringKey) {
        wchar_t text[kStoredTextFieldCount] = {};
        GetDlgItemTextW(dialog, IDC_STRING, text, kStoredTextFieldCount - 1);
        StoreString(text, ScanKey);
    } else {
        StoreRecording();
    }
    ReleaseBitmaps();
    EndDialog(dialog, IDC_APPLY);
    RunDeviceOperation(WriteProfile, currentProfile, profileBlock);
    StoreCachedBlock(currentProfile, profileBlock);
}

void Cancel(HWND dialog) {
    if (keyboardHook) {
        StopRecording(dialog);
    }
    ReleaseBitmaps();
    EndDialog(dialog, IDC_CANCEL);
}

void OnInitDialog(HWND dialog, LPARAM parameter) {
    recorderDialog = dialog;
    ApplyFontSize(dialog);
    SendDlgItemMessageW(dialog, IDC_EVENTS, LB_RESETCONTENT, 0, 0);
    recordingLabelShown = 0;
    ShowItem(dialog, IDC_RECORDING, recordingLabelShown != 0);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    pressBitmap.Reset(LoadBitmapW(instance, MAKEINTRESOURCEW(IDB_KEY_PRESS)));
    releaseBitmap.Reset(LoadBitmapW(instance, MAKEINTRESOURCEW(IDB_KEY_RELEASE)));
    EnableItem(dialog, IDC_START, true);
    EnableItem(dialog, IDC_STOP, false);
    OverrideDialogItemTexts(dialog, kTranslatedControls);
    BeginButtonEdit(parameter);
    SetWindowTextW(dialog, LookupFunctionName(editedFunction).c_str());
    ShowItem(dialog, IDC_EVENTS, false);
    ShowItem(dialog, IDC_STRING, false);
    ShowItem(dialog, IDC_START, false);
    ShowItem(dialog, IDC_STOP, false);
    EnableItem(dialog, IDC_APPLY, false);
    if (editedFunction == FunctionStringKey) {
        // What the field shows is what is stored: no more than the event list holds.
        SendDlgItemMessageW(dialog, IDC_STRING, EM_LIMITTEXT, kStringLimit, 0);
        ShowItem(dialog, IDC_STRING, true);
        ShowStoredString(dialog);
        // Filling the field is no change by the user.
        EnableItem(dialog, IDC_APPLY, false);
    } else {
        ShowItem(dialog, IDC_EVENTS, true);
        ShowItem(dialog, IDC_START, true);
        ShowItem(dialog, IDC_STOP, true);
        ListStoredEvents();
    }
}

void DrawRow(const DRAWITEMSTRUCT* item) {
    if (item->itemID == static_cast<UINT>(-1) ||
        (item->itemAction & (ODA_DRAWENTIRE | ODA_SELECT)) == 0) {
        return;
    }
    wchar_t text[kRowFieldCount] = {};
    LRESULT length = SendMessageW(item->hwndItem, LB_GETTEXTLEN, item->itemID, 0);
    if (length < 0 || length >= kRowFieldCount) {
        return;
    }
    SendMessageW(item->hwndItem, LB_GETTEXT, item->itemID, reinterpret_cast<LPARAM>(text));
    TEXTMETRICW metrics{};
    GetTextMetricsW(item->hDC, &metrics);
    const RECT& rc = item->rcItem;
    int y = (rc.top + rc.bottom - metrics.tmHeight) / 2;
    TextOutW(item->hDC, ScaledForDisplay(item->hwndItem, kRowTextX), y, text,
             static_cast<int>(std::wcslen(text)));
    auto bitmap =
        reinterpret_cast<HBITMAP>(SendMessageW(item->hwndItem, LB_GETITEMDATA, item->itemID, 0));
    if (bitmap == nullptr || reinterpret_cast<LRESULT>(bitmap) == LB_ERR) {
        return;
    }
    BITMAP info{};
    GetObjectW(bitmap, sizeof(info), &info);
    const UniqueMemoryDc memoryDc(CreateCompatibleDC(item->hDC));
    HDC memory = memoryDc.Get();
    const SelectedObject selection(memory, bitmap);
    int oldMode = SetStretchBltMode(item->hDC, COLORONCOLOR);
    StretchBlt(item->hDC, rc.left + ScaledForDisplay(item->hwndItem, kRowBitmapX), rc.top,
               ScaledForDisplay(item->hwndItem, info.bmWidth),
               ScaledForDisplay(item->hwndItem, info.bmHeight), memory, 0, 0, info.bmWidth,
               info.bmHeight, SRCCOPY);
    SetStretchBltMode(item->hDC, oldMode);
}

} // namespace

LRESULT CALLBACK RecordKeyProc(int code, WPARAM wParam, LPARAM lParam) {
    const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    KeyMessage message = wParam == WM_KEYDOWN ? KeyMessage::Down
                         : wParam == WM_KEYUP ? KeyMessage::Up
                                              : KeyMessage::Other;
    if (key != nullptr && ExamineKeyEvent(code == HC_ACTION, message, key->vkCode, key->flags)) {
        wchar_t row[kRowFieldCount];
        bool press = message == KeyMessage::Down;
        FormatEventRow(row, kRowFieldCount, NameOfKey(static_cast<int>(key->vkCode)), press, false);
        AddRow(row, press);
    }
    return CallNextHookEx(keyboardHook.Get(), code, wParam, lParam);
}

INT_PTR CALLBACK RecorderDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog, lParam);
        return TRUE;
    case WM_TIMER:
        if (wParam == kBlinkTimerId) {
            recordingLabelShown = recordingLabelShown != 0 ? 0 : 1;
            ShowItem(dialog, IDC_RECORDING, recordingLabelShown != 0);
        }
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_START:
            StartRecording(dialog);
            break;
        case IDC_STOP:
            StopRecording(dialog);
            break;
        case IDC_APPLY:
            Apply(dialog);
            break;
        case IDC_CANCEL:
            Cancel(dialog);
            break;
        case IDC_STRING:
            if (HIWORD(wParam) == EN_CHANGE) {
                EnableItem(dialog, IDC_APPLY, true);
            }
            break;
        default: // Escape (IDCANCEL) does nothing
            break;
        }
        return FALSE;
    case WM_MEASUREITEM: {
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        measure->itemHeight = static_cast<UINT>(ScaledForDisplay(dialog, kRowHeight));
        return TRUE;
    }
    case WM_DRAWITEM:
        DrawRow(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_PAINT:
        PaintDialogItself(dialog);
        return FALSE;
    case WM_DESTROY:
        // A dialog ended by its owner's end still removes the hook.
        keyboardHook.Reset();
        KillTimer(dialog, kBlinkTimerId);
        ReleaseDialogFont(dialog);
        ReleaseBitmaps();
        recorderDialog = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}
