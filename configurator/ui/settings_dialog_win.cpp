// The Settings dialog: polls the mouse's active profile, shows the profile from the cache,
// edits button functions, resolutions and the pointer speed, and writes them on Apply.
#include "settings_dialog.h"

#include "device_channel.h"
#include "handle_owners_win.h"
#include "dialog_drawing.h"
#include "memory_protocol.h"
#include "profile_cache.h"
#include "profile_record.h"
#include "program_files_win.h"
#include "recorder_win.h"
#include "resources/recorder_res.h"
#include "resources/select_profile_res.h"
#include "resources/settings_dialog_res.h"
#include "select_profile_win.h"
#include "text_files.h"
#include "tray_app.h"

#include <commctrl.h>

#include <cwchar>

UniqueFont numberFont;
int32_t xStep = 0;
int32_t yStep = 0;
int32_t speedPosition = 0;
int32_t lastSeenProfile = 0;
UniqueIcon dialogIcon;
DesktopSettings* desktopSettings = nullptr;
bool handCursorShown = false;

namespace {

constexpr UINT_PTR kHoverTimer = kHoverTimerId;
constexpr int kStepMin = 4;
constexpr int kStepMax = 32;
constexpr int kSpeedMax = 10;
constexpr int kNumberPoints = 12;
constexpr int kTrayIconResource = 112;
constexpr int kApplyPauseMs = 50;
constexpr wchar_t kDialogIconFile[] = L"image\\mark.ico";
// The controls whose texts the language file translates.
constexpr int kTranslatedControls[] = {
    IDC_PROFILE_LABEL, IDC_CLOSE,    IDC_APPLY,    IDC_REFRESH,      IDC_STATUS,
    IDC_CAPTION1,      IDC_CAPTION2, IDC_CAPTION3, IDC_CAPTION4,     IDC_CAPTION5,
    IDC_CAPTION6,      IDC_CAPTION7, IDC_CAPTION8, IDC_CAPTION9,     IDC_CAPTION10,
    IDC_CAPTION11,     IDC_SLOW,     IDC_FAST,     IDC_ACCELERATION,
};
constexpr DWORD kArrowCursorId = 32512; // OCR_NORMAL, the system's normal arrow

HWND trackX = nullptr;
HWND trackY = nullptr;
HWND trackSpeed = nullptr;
// True while the recorder or Select Profile runs its modal loop inside ours: the poll then
// waits, so a switch on the mouse cannot move currentProfile and the buffer under the edit.
bool detailDialogOpen = false;

class SystemSettings final : public DesktopSettings {
  public:
    int PointerSpeed() override {
        int speed = 0;
        SystemParametersInfoW(SPI_GETMOUSESPEED, 0, &speed, 0);
        return speed;
    }
    void SetPointerSpeed(int speed) override {
        SystemParametersInfoW(SPI_SETMOUSESPEED, 0,
                              reinterpret_cast<void*>(static_cast<INT_PTR>(speed)),
                              SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
    }
    void SetArrowCursor(HCURSOR cursor) override { SetSystemCursor(cursor, kArrowCursorId); }
    void ReloadSystemCursors() override { SystemParametersInfoW(SPI_SETCURSORS, 0, nullptr, 0); }
};

DesktopSettings& Desktop() {
    return desktopSettings ? *desktopSettings : SystemDesktopSettings();
}

// After WM_MOUSELEAVE the cursors are reloaded whether or not the hand is shown.
void ReloadCursors() {
    Desktop().ReloadSystemCursors();
    handCursorShown = false;
}

bool IsProfileIndex(int32_t profile) {
    return profile >= 0 && profile < kProfileCount;
}

void Show(HWND dialog, int id, bool shown) {
    ShowWindow(GetDlgItem(dialog, id), shown ? SW_SHOW : SW_HIDE);
}

void Enable(HWND dialog, int id, bool enabled) {
    EnableWindow(GetDlgItem(dialog, id), enabled ? TRUE : FALSE);
}

void ShowAndEnable(HWND dialog, int first, int last, bool on) {
    for (int id = first; id <= last; ++id) {
        Show(dialog, id, on);
        Enable(dialog, id, on);
    }
}

// The mouse's answer to the profile query. An answer outside 0..5 is no profile the dialog
// can show: keep the one shown (the previous value).
void QueryProfile() {
    const std::optional<int32_t> answer = QueryMouseProfile();
    if (answer && *answer >= 0 && *answer <= kBasicProfile) {
        currentProfile = *answer;
    }
}

void ShowButtonFunctions(HWND dialog) {
    for (int n = 0; n < kButtonCount; ++n) {
        SendDlgItemMessageW(dialog, IDC_FUNCTION1 + n, CB_SETCURSEL,
                            static_cast<WPARAM>(buttonChoices[n]), 0);
        Show(dialog, IDC_DETAIL1 + n, false);
        if (buttonChoices[n] >= FunctionSingleKey && buttonChoices[n] <= FunctionSelectProfile) {
            Show(dialog, IDC_DETAIL1 + n, true);
        }
    }
}

void ShowActiveNumber(HWND dialog) {
    for (int i = 0; i < kProfileCount; ++i) {
        Enable(dialog, IDC_PROFILE_NUMBER1 + i, false);
    }
    if (IsProfileIndex(currentProfile)) {
        Enable(dialog, IDC_PROFILE_NUMBER1 + currentProfile, true);
    }
}

void SetStepText(HWND dialog, int id, int32_t step) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%d", step * 100);
    SetDlgItemTextW(dialog, id, text);
}

void CreateNumberFont(HWND dialog) {
    numberFont.Reset(CreateFontOfSize(dialog, kNumberPoints));
    for (int i = 0; i < kProfileCount; ++i) {
        SendDlgItemMessageW(dialog, IDC_PROFILE_NUMBER1 + i, WM_SETFONT,
                            reinterpret_cast<WPARAM>(numberFont.Get()), TRUE);
        wchar_t number[2] = {static_cast<wchar_t>(L'1' + i), 0};
        SetDlgItemTextW(dialog, IDC_PROFILE_NUMBER1 + i, number);
    }
}

void LoadDialogIcon(HWND dialog) {
    dialogIcon.Reset(
        static_cast<HICON>(LoadImageW(nullptr, (ProgramFolder() + kDialogIconFile).c_str(),
                                      IMAGE_ICON, 16, 16, LR_LOADFROMFILE)));
    if (!dialogIcon) {
        dialogIcon.Reset(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr),
                                                       MAKEINTRESOURCEW(kTrayIconResource),
                                                       IMAGE_ICON, 16, 16, 0)));
    }
    SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(dialogIcon.Get()));
}

void SetTrackRange(HWND track, int low, int high) {
    SendMessageW(track, TBM_SETRANGE, TRUE, MAKELPARAM(low, high));
    SendMessageW(track, TBM_SETPAGESIZE, 0, 1);
}

void OnInitDialog(HWND dialog) {
    ApplyFontSize(dialog);
    OverrideDialogItemTexts(dialog, kTranslatedControls);
    CreateNumberFont(dialog);
    LoadDialogIcon(dialog);
    OverrideWindowText(dialog, IDD_SETTINGS);
    Enable(dialog, IDC_APPLY, false);
    for (int n = 0; n < kButtonCount; ++n) {
        for (int f = 0; f < kFunctionCount; ++f) {
            std::wstring name = LookupFunctionName(f);
            SendDlgItemMessageW(dialog, IDC_FUNCTION1 + n, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(name.c_str()));
        }
    }
    trackX = GetDlgItem(dialog, IDC_TRACK_X);
    trackY = GetDlgItem(dialog, IDC_TRACK_Y);
    trackSpeed = GetDlgItem(dialog, IDC_SPEED);
    SetTrackRange(trackSpeed, 0, kSpeedMax);
    speedPosition = Desktop().PointerSpeed() / 2;
    SendMessageW(trackSpeed, TBM_SETPOS, TRUE, speedPosition);
    SetTrackRange(trackX, kStepMin, kStepMax);
    SetTrackRange(trackY, kStepMin, kStepMax);
    RefreshSettingsDialog(dialog);
    SetTimer(dialog, kPollTimerId, kPollPeriodMs, nullptr);
}

void OnProfileButton(HWND dialog, int id) {
    int profile = id - IDC_PROFILE_BUTTON1;
    for (int i = 0; i < kProfileCount; ++i) {
        Enable(dialog, IDC_PROFILE_NUMBER1 + i, false);
    }
    Enable(dialog, IDC_PROFILE_NUMBER1 + profile, true);
    currentProfile = profile;
    RunDeviceOperation(SelectProfile, currentProfile);
    LoadCachedProfile(currentProfile, profileBlock);
    DecodeButtonFunctions();
    ShowButtonFunctions(dialog);
    ShowProfileResolution(dialog);
}

void Poll(HWND dialog) {
    QueryProfile();
    if (currentProfile != lastSeenProfile) {
        RefreshSettingsDialog(dialog); // sets lastSeenProfile
    }
}

void RunDetailDialog(HWND dialog, int button) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    const bool nested = detailDialogOpen;
    detailDialogOpen = true;
    if (buttonChoices[button] == FunctionSelectProfile) {
        DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SELECT_PROFILE), dialog,
                        SelectProfileDialogProc, button);
    } else {
        DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_RECORDER), dialog, RecorderDialogProc,
                        button);
    }
    detailDialogOpen = nested;
    const bool reached = RunDeviceOperation(WriteProfile, currentProfile, profileBlock).whole;
    StoreCachedBlock(currentProfile, profileBlock);
    Enable(dialog, IDC_APPLY, !reached); // a write that failed can be applied again
    if (!reached) {
        ShowWriteFailed(dialog);
    }
    if (!detailDialogOpen && IsWindow(dialog)) {
        Poll(dialog); // the switch the mouse made meanwhile shows now
    }
}

void OnFunctionChosen(HWND dialog, int id) {
    int n = id - IDC_FUNCTION1;
    LRESULT choice = SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0);
    if (choice < 0 || choice >= kFunctionCount) {
        return;
    }
    int c = static_cast<int>(choice);
    buttonChoices[n] = c;
    Show(dialog, IDC_DETAIL1 + n, false);
    if (c >= FunctionSingleKey) {
        Show(dialog, IDC_DETAIL1 + n, true);
    }
    EncodeButtonFunction(n);
    if (c <= FunctionDoubleClick) {
        Enable(dialog, IDC_APPLY, true);
        return;
    }
    Enable(dialog, IDC_APPLY, false);
    SendDlgItemMessageW(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(c), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_DETAIL1 + n, 0), 0);
}

void OnApply(HWND dialog) {
    Enable(dialog, IDC_APPLY, false);
    Desktop().SetPointerSpeed(speedPosition == 0 ? 1 : 2 * speedPosition);
    bool reached = RunDeviceOperation(WriteProfile, currentProfile, profileBlock).whole;
    StoreCachedBlock(currentProfile, profileBlock);
    reached = RunDeviceOperation(WriteHeader, 0, headerBlock) && reached;
    StoreCachedBlock(kHeaderCacheNumber, headerBlock);
    PacingPause(kApplyPauseMs);
    RunDeviceOperation(SelectProfile, currentProfile);
    if (!reached) {
        Enable(dialog, IDC_APPLY, true); // so the same change can be applied again
        ShowWriteFailed(dialog);
    }
}

void OnClose(HWND dialog) {
    dialogIcon.Reset();
    settingsDialogClosed = 1;
    KillTimer(dialog, kPollTimerId);
    EndDialog(dialog, 1);
    // Modeless: nothing refers to a closed dialog, so it is destroyed rather than kept hidden.
    DestroyWindow(dialog);
}

void OnTrackbar(HWND dialog, WPARAM wParam, LPARAM lParam) {
    auto track = reinterpret_cast<HWND>(lParam);
    int code = LOWORD(wParam);
    if (track == nullptr || code < TB_LINEUP || code > TB_BOTTOM) {
        return;
    }
    auto position = static_cast<int32_t>(SendMessageW(track, TBM_GETPOS, 0, 0));
    if (track == trackX || track == trackY) {
        if (track == trackX) {
            xStep = position;
            SetStepText(dialog, IDC_DPI_X, xStep);
        } else {
            yStep = position;
            SetStepText(dialog, IDC_DPI_Y, yStep);
        }
        // Only the five records of the header block are resolution settings.
        if (IsProfileIndex(currentProfile)) {
            WriteResolution(headerBlock, currentProfile, xStep & 0xFF, yStep & 0xFF);
        }
    } else if (track == trackSpeed) {
        speedPosition = position;
    } else {
        return;
    }
    Enable(dialog, IDC_APPLY, true);
}

bool IsClickArea(int id) {
    return (id >= IDC_PROFILE_BUTTON1 && id < IDC_PROFILE_BUTTON1 + kProfileCount) ||
           (id >= IDC_DETAIL1 && id < IDC_DETAIL1 + kButtonCount);
}

void OnSetCursor(HWND over) {
    if (over == nullptr || !IsClickArea(GetDlgCtrlID(over))) {
        return;
    }
    HCURSOR hand = LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_HAND_CURSOR));
    if (hand != nullptr) {
        // Replaces the arrow on the whole desktop until the hover watch reloads the cursors.
        Desktop().SetArrowCursor(CopyCursor(hand));
        handCursorShown = true;
        DestroyCursor(hand);
    }
    if (IsWindow(over)) {
        SetTimer(over, kHoverTimer, kHoverPeriodMs, HoverWatch);
    }
}

void OnDestroy(HWND dialog) {
    KillTimer(dialog, kPollTimerId);
    // The hover timer dies with its control and never posts WM_MOUSELEAVE.
    RestoreSystemCursors();
    ReleaseDialogFont(dialog);
    // Each opening creates its own number font; release it with the dialog.
    numberFont.Reset();
    trackX = trackY = trackSpeed = nullptr;
}

} // namespace

DesktopSettings& SystemDesktopSettings() {
    static SystemSettings system;
    return system;
}

void RestoreSystemCursors() {
    if (handCursorShown) {
        ReloadCursors();
    }
}

void SetLayout(HWND dialog, bool basic) {
    InvalidateRect(dialog, nullptr, TRUE);
    bool profile = !basic;
    ShowAndEnable(dialog, IDC_PROFILE_LABEL, IDC_PROFILE_NUMBER1 + kProfileCount - 1, profile);
    ShowAndEnable(dialog, IDC_PROFILE_BUTTON1, IDC_PROFILE_BUTTON1 + kProfileCount - 1, profile);
    Show(dialog, IDC_FUNCTION1, profile);
    Enable(dialog, IDC_FUNCTION1, false); // button 0 keeps its function
    ShowAndEnable(dialog, IDC_FUNCTION1 + 1, IDC_FUNCTION1 + kButtonCount - 1, profile);
    ShowAndEnable(dialog, IDC_DETAIL1, IDC_DETAIL1 + kButtonCount - 1, profile);
    ShowAndEnable(dialog, IDC_DPI_X_LABEL, IDC_TRACK_Y, profile);
    ShowAndEnable(dialog, IDC_MOUSE_ANCHOR, IDC_MOUSE_ANCHOR, profile);
    ShowAndEnable(dialog, IDC_CAPTION1, IDC_CAPTION11, basic);
    ShowAndEnable(dialog, IDC_SPEED, IDC_ACCELERATION, basic);
    Show(dialog, IDC_APPLY, true);
    ShowAndEnable(dialog, IDC_CLOSE, IDC_CLOSE, true);
    ShowAndEnable(dialog, IDC_REFRESH, IDC_REFRESH, false);
}

void ShowProfileResolution(HWND dialog) {
    if (!IsProfileIndex(currentProfile)) {
        return;
    }
    ProfileSettings settings = ReadProfileSettings(headerBlock, currentProfile);
    xStep = settings.resolutionX;
    yStep = settings.resolutionY;
    SendDlgItemMessageW(dialog, IDC_TRACK_X, TBM_SETPOS, TRUE, xStep);
    SendDlgItemMessageW(dialog, IDC_TRACK_Y, TBM_SETPOS, TRUE, yStep);
    SetStepText(dialog, IDC_DPI_X, xStep);
    SetStepText(dialog, IDC_DPI_Y, yStep);
}

void RefreshSettingsDialog(HWND dialog) {
    QueryProfile();
    // The poll compares with what is shown: a switch that happens before the first poll
    // after opening must not be mistaken for the profile already shown.
    lastSeenProfile = currentProfile;
    if (currentProfile == kBasicProfile) {
        SetLayout(dialog, true);
        return;
    }
    SetLayout(dialog, false);
    LoadCachedProfile(currentProfile, profileBlock);
    DecodeButtonFunctions();
    ShowActiveNumber(dialog);
    ShowButtonFunctions(dialog);
    ShowProfileResolution(dialog);
}

namespace {

BOOL CALLBACK RefreshIfSettingsDialog(HWND window, LPARAM) {
    if (reinterpret_cast<DLGPROC>(GetWindowLongPtrW(window, DWLP_DLGPROC)) == SettingsDialogProc) {
        RefreshSettingsDialog(window);
    }
    return TRUE;
}

} // namespace

void RefreshOpenSettingsDialog() {
    EnumThreadWindows(GetCurrentThreadId(), RefreshIfSettingsDialog, 0);
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog);
        return TRUE;
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        if (id >= IDC_PROFILE_BUTTON1 && id < IDC_PROFILE_BUTTON1 + kProfileCount) {
            OnProfileButton(dialog, id);
        } else if (id >= IDC_FUNCTION1 && id < IDC_FUNCTION1 + kButtonCount) {
            if (HIWORD(wParam) == CBN_SELCHANGE) {
                OnFunctionChosen(dialog, id);
            }
        } else if (id >= IDC_DETAIL1 && id < IDC_DETAIL1 + kButtonCount) {
            RunDetailDialog(dialog, id - IDC_DETAIL1);
        } else if (id == IDC_APPLY) {
            OnApply(dialog);
        } else if (id == IDC_CLOSE) {
            OnClose(dialog);
        } else if (id == IDC_REFRESH) {
            RefreshSettingsDialog(dialog);
        }
        return FALSE;
    }
    case WM_CLOSE:
        OnClose(dialog);
        return FALSE;
    case WM_TIMER:
        if (wParam == kPollTimerId && !detailDialogOpen) {
            Poll(dialog);
        }
        return FALSE;
    case WM_HSCROLL:
        OnTrackbar(dialog, wParam, lParam);
        return FALSE;
    case WM_SETCURSOR:
        OnSetCursor(reinterpret_cast<HWND>(wParam));
        return FALSE;
    case WM_MOUSELEAVE:
        ReloadCursors();
        return FALSE;
    case WM_ENDSESSION:
        // Log-off ends the program without destroying the dialog.
        if (wParam != FALSE) {
            RestoreSystemCursors();
        }
        return FALSE;
    case WM_PAINT:
        PaintSettingsPictures(dialog);
        return FALSE;
    case WM_DRAWITEM:
        DrawDetailButton(dialog, reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return FALSE;
    case WM_NOTIFY:
        return TrackbarCustomDraw(dialog, wParam, lParam);
    case WM_DESTROY:
        OnDestroy(dialog);
        return FALSE;
    default:
        return FALSE;
    }
}
