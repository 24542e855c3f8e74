// The recorder dialog and its low-level keyboard hook.
#include "recorder_win.h"

#include "dialog_conventions_win.h"
#include "dialog_drawing.h"
#include "handle_owners_win.h"
#include "model/key_tables.h"
#include "resources/recorder_res.h"

#include <cwchar>
#include <memory>

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

class RecorderDialog;

// Outlives the modal dialog, so it owns the dialog's object.
struct RecorderRequest {
    const DeskServices& desk;
    int button;
    ButtonFunction function;
    const ButtonAssignment& stored;
    std::optional<ButtonAssignment> result;
    std::unique_ptr<RecorderDialog> dialog;
};

// The recorder whose hook is installed: a low-level keyboard hook gets no context of its own.
RecorderDialog* recordingDialog = nullptr;

LRESULT CALLBACK RecordKeyProc(int code, WPARAM wParam, LPARAM lParam);

class RecorderDialog {
  public:
    RecorderDialog(HWND dialog, RecorderRequest& request)
        : editedButton(request.button), editedFunction(request.function), window_(dialog),
          request_(request), recording_(request.function, request.desk.keys) {}

    static RecorderDialog* Of(HWND dialog) {
        return reinterpret_cast<RecorderDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    }

    void OnInitDialog() {
        const TextSettings& texts = request_.desk.texts;
        ApplyFontSize(window_, texts.dialogFontSize);
        CentreOverOwner(window_);
        SendDlgItemMessageW(window_, IDC_EVENTS, LB_RESETCONTENT, 0, 0);
        recordingLabelShown = 0;
        ShowItem(IDC_RECORDING, recordingLabelShown != 0);
        pressBitmap_.Reset(LoadBitmapW(request_.desk.instance, MAKEINTRESOURCEW(IDB_KEY_PRESS)));
        releaseBitmap_.Reset(
            LoadBitmapW(request_.desk.instance, MAKEINTRESOURCEW(IDB_KEY_RELEASE)));
        EnableItem(IDC_START, true);
        EnableItem(IDC_STOP, false);
        texts.OverrideDialogItemTexts(window_, kTranslatedControls);
        SetWindowTextW(window_, texts.LookupFunctionName(editedFunction).c_str());
        words_.keyDown = texts.LookupDefault(kKeyDownKey, kDefaultKeyDown);
        words_.keyUp = texts.LookupDefault(kKeyUpKey, kDefaultKeyUp);
        ShowItem(IDC_EVENTS, false);
        ShowItem(IDC_STRING, false);
        ShowItem(IDC_START, false);
        ShowItem(IDC_STOP, false);
        EnableItem(IDC_APPLY, false);
        if (editedFunction == FunctionStringKey) {
            // What the field shows is what is stored: no more than the event list holds.
            SendDlgItemMessageW(window_, IDC_STRING, EM_LIMITTEXT, kStringLimit, 0);
            ShowItem(IDC_STRING, true);
            std::wstring text;
            if (StoredStringText(request_.stored, &text)) {
                SetDlgItemTextW(window_, IDC_STRING, text.c_str());
            }
            // Filling the field is no change by the user.
            EnableItem(IDC_APPLY, false);
        } else {
            ShowItem(IDC_EVENTS, true);
            ShowItem(IDC_START, true);
            ShowItem(IDC_STOP, true);
            for (const KeyEvent& event : ListedEvents(request_.stored, editedFunction)) {
                const bool press = (event.flags & kEventPress) != 0;
                AddRow(EventRow(NameOfUsage(event.usage), press, true, words_), press);
            }
        }
    }

    void OnCommand(int id, int code) {
        switch (id) {
        case IDC_START:
            StartRecording();
            break;
        case IDC_STOP:
            StopRecording();
            break;
        case IDC_APPLY:
            Apply();
            break;
        case IDC_CANCEL:
            Cancel();
            break;
        case IDCANCEL:
            // Escape; while recording it is a key of the recording, not a way out.
            if (!keyboardHook_) {
                Cancel();
            }
            break;
        case IDC_STRING:
            if (code == EN_CHANGE) {
                EnableItem(IDC_APPLY, true);
            }
            break;
        default:
            break;
        }
    }

    // The close box: always a cancel, recording or not.
    void OnClose() { Cancel(); }

    void OnBlink() {
        recordingLabelShown = recordingLabelShown != 0 ? 0 : 1;
        ShowItem(IDC_RECORDING, recordingLabelShown != 0);
    }

    // The hook's event, on this thread through the modal loop.
    void OnKey(int code, WPARAM message, const KBDLLHOOKSTRUCT& key) {
        const KeyMessage kind = message == WM_KEYDOWN ? KeyMessage::Down
                                : message == WM_KEYUP ? KeyMessage::Up
                                                      : KeyMessage::Other;
        if (recording_.Examine(code == HC_ACTION, kind, key.vkCode, key.flags)) {
            const bool press = kind == KeyMessage::Down;
            AddRow(EventRow(NameOfKey(static_cast<int>(key.vkCode)), press, false, words_), press);
        }
    }
    HHOOK Hook() const { return keyboardHook_.Get(); }

    void OnDestroy() {
        // A dialog ended by its owner's end still removes the hook.
        RemoveHook();
        KillTimer(window_, kBlinkTimerId);
        ReleaseDialogFont(window_);
        ReleaseBitmaps();
    }

    void DrawRow(const DRAWITEMSTRUCT* item) const;

    int32_t editedButton;
    ButtonFunction editedFunction;
    int32_t recordingLabelShown = 0;

  private:
    void ShowItem(int id, bool shown) {
        ShowWindow(GetDlgItem(window_, id), shown ? SW_SHOW : SW_HIDE);
    }
    void EnableItem(int id, bool enabled) {
        EnableWindow(GetDlgItem(window_, id), enabled ? TRUE : FALSE);
    }

    void AddRow(const std::wstring& text, bool press) {
        HWND list = GetDlgItem(window_, IDC_EVENTS);
        LRESULT index = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        if (index < 0) {
            return;
        }
        SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(press ? pressBitmap_.Get() : releaseBitmap_.Get()));
        SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }

    void RemoveHook() {
        keyboardHook_.Reset();
        if (recordingDialog == this) {
            recordingDialog = nullptr;
        }
    }

    void StopRecording() {
        ShowItem(IDC_RECORDING, false);
        recordingLabelShown = 0;
        KillTimer(window_, kBlinkTimerId);
        EnableItem(IDC_START, true);
        EnableItem(IDC_APPLY, true);
        EnableItem(IDC_STOP, false);
        RemoveHook();
    }

    void StartRecording() {
        recording_.Begin();
        recordingDialog = this;
        keyboardHook_.Reset(
            SetWindowsHookExW(WH_KEYBOARD_LL, RecordKeyProc, request_.desk.instance, 0));
        recordingLabelShown = 1;
        ShowItem(IDC_RECORDING, true);
        SendDlgItemMessageW(window_, IDC_EVENTS, LB_RESETCONTENT, 0, 0);
        EnableItem(IDC_START, false);
        EnableItem(IDC_APPLY, false);
        EnableItem(IDC_STOP, true);
        SetTimer(window_, kBlinkTimerId, kBlinkPeriodMs, nullptr);
    }

    void ReleaseBitmaps() {
        pressBitmap_.Reset();
        releaseBitmap_.Reset();
    }

    void Apply() {
        if (editedFunction == FunctionStringKey) {
            wchar_t text[kStoredTextFieldCount] = {};
            GetDlgItemTextW(window_, IDC_STRING, text, kStoredTextFieldCount - 1);
            const auto keyScan = [](wchar_t c) { return static_cast<int16_t>(VkKeyScanW(c)); };
            if (!UserKeepsText(CharactersNotTypedAsShown(text, keyScan))) {
                SetFocus(GetDlgItem(window_, IDC_STRING));
                return;
            }
            request_.result = ButtonAssignment::Text(StringEvents(text, keyScan));
        } else {
            request_.result = recording_.Result();
        }
        ReleaseBitmaps();
        EndDialog(window_, IDC_APPLY);
    }

    // True unless the user, told which characters will not be typed as written, goes back to
    // edit the string.
    bool UserKeepsText(const std::wstring& odd) const {
        if (odd.empty()) {
            return true;
        }
        std::wstring listed;
        for (wchar_t character : odd) {
            if (!listed.empty()) {
                listed += L' ';
            }
            listed += character;
        }
        const TextSettings& texts = request_.desk.texts;
        const std::wstring text = FillPattern(
            texts.LookupDefault(kStringNotAsShownKey, kDefaultStringNotAsShown), {listed});
        const std::wstring title = texts.LookupDefault(kTitleKey, kDefaultTitle);
        return MessageBoxW(window_, text.c_str(), title.c_str(), MB_ICONWARNING | MB_YESNO) ==
               IDYES;
    }

    void Cancel() {
        if (keyboardHook_) {
            StopRecording();
        }
        ReleaseBitmaps();
        EndDialog(window_, IDC_CANCEL);
    }

    HWND window_;
    RecorderRequest& request_;
    ButtonWords words_; // the rows' "(Down)" and "(Up)" in the user's language
    KeyRecording recording_;
    UniqueHook keyboardHook_;
    UniqueBitmap pressBitmap_;
    UniqueBitmap releaseBitmap_;
};

void RecorderDialog::DrawRow(const DRAWITEMSTRUCT* item) const {
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

LRESULT CALLBACK RecordKeyProc(int code, WPARAM wParam, LPARAM lParam) {
    const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    RecorderDialog* recorder = recordingDialog;
    if (recorder == nullptr) {
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    if (key != nullptr) {
        recorder->OnKey(code, wParam, *key);
    }
    return CallNextHookEx(recorder->Hook(), code, wParam, lParam);
}

INT_PTR CALLBACK RecorderDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto& request = *reinterpret_cast<RecorderRequest*>(lParam);
        request.dialog = std::make_unique<RecorderDialog>(dialog, request);
        SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(request.dialog.get()));
        request.dialog->OnInitDialog();
        return TRUE;
    }
    if (message == WM_MEASUREITEM) { // the list asks before WM_INITDIALOG
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        measure->itemHeight = static_cast<UINT>(ScaledForDisplay(dialog, kRowHeight));
        return TRUE;
    }
    RecorderDialog* recorder = RecorderDialog::Of(dialog);
    if (recorder == nullptr) {
        return FALSE;
    }
    switch (message) {
    case WM_TIMER:
        if (wParam == kBlinkTimerId) {
            recorder->OnBlink();
        }
        return FALSE;
    case WM_COMMAND:
        recorder->OnCommand(LOWORD(wParam), HIWORD(wParam));
        return FALSE;
    case WM_CLOSE:
        recorder->OnClose();
        return TRUE;
    case WM_DRAWITEM:
        recorder->DrawRow(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_PAINT:
        PaintDialogItself(dialog);
        return FALSE;
    case WM_DESTROY:
        recorder->OnDestroy();
        SetWindowLongPtrW(dialog, DWLP_USER, 0);
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

std::optional<ButtonAssignment> RunRecorder(HWND owner, const DeskServices& desk, int button,
                                            ButtonFunction function,
                                            const ButtonAssignment& stored) {
    RecorderRequest request{desk, button, function, stored, std::nullopt, nullptr};
    DialogBoxParamW(desk.instance, MAKEINTRESOURCEW(IDD_RECORDER), owner, RecorderDialogProc,
                    reinterpret_cast<LPARAM>(&request));
    return request.result;
}
