// The Settings dialog: polls the mouse's active profile, shows the profile from the cache,
// edits button functions, resolutions and the pointer speed, and writes them on Apply.
#include "settings_dialog.h"

#include "dialog_conventions_win.h"
#include "dialog_drawing.h"
#include "message_boxes_win.h"
#include "settings/profile_cache.h"
#include "program_files_win.h"
#include "recorder_win.h"
#include "resources/settings_dialog_res.h"
#include "select_profile_win.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>

namespace {

constexpr UINT_PTR kHoverTimer = kHoverTimerId;
constexpr int kStepMin = 4;
constexpr int kStepMax = 32;
constexpr int kSpeedMax = 10;
constexpr int kNumberPoints = 12;
constexpr int kTrayIconResource = 112;
constexpr int kApplyPauseMs = 50;
constexpr wchar_t kDialogIconFile[] = L"image\\mark.ico";
// What a resolution field shows while no header is known.
constexpr wchar_t kUnknownText[] = L"\u2014";
// The controls whose texts the language file translates.
constexpr int kTranslatedControls[] = {
    IDC_PROFILE_LABEL, IDC_CLOSE,    IDC_APPLY,    IDC_REFRESH,      IDC_STATUS,
    IDC_CAPTION1,      IDC_CAPTION2, IDC_CAPTION3, IDC_CAPTION4,     IDC_CAPTION5,
    IDC_CAPTION6,      IDC_CAPTION7, IDC_CAPTION8, IDC_CAPTION9,     IDC_CAPTION10,
    IDC_CAPTION11,     IDC_SLOW,     IDC_FAST,     IDC_ACCELERATION,
};

struct SettingsRequest {
    const DeskServices& desk;
    SettingsDialogHost& host;
    const SettingsDialogState& start;
};

void SetStepText(HWND dialog, int id, int32_t step) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%d", step * 100);
    SetDlgItemTextW(dialog, id, text);
}

void SetTrackRange(HWND track, int low, int high) {
    SendMessageW(track, TBM_SETRANGE, TRUE, MAKELPARAM(low, high));
    SendMessageW(track, TBM_SETPAGESIZE, 0, 1);
}

bool IsClickArea(int id) {
    return (id >= IDC_PROFILE_BUTTON1 && id < IDC_PROFILE_BUTTON1 + kProfileCount) ||
           (id >= IDC_DETAIL1 && id < IDC_DETAIL1 + kButtonCount);
}

} // namespace

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const auto* request = reinterpret_cast<const SettingsRequest*>(lParam);
        auto* settings = new SettingsDialog(dialog, request->desk, request->host, request->start);
        SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(settings));
        settings->OnInitDialog();
        return TRUE;
    }
    SettingsDialog* settings = SettingsDialog::Of(dialog);
    if (settings == nullptr) {
        return FALSE;
    }
    if (message == WM_DESTROY) {
        settings->OnDestroy();
        SetWindowLongPtrW(dialog, DWLP_USER, 0);
        // Ended from inside a detail dialog (the program closes): that call still runs on the
        // object and frees it when it returns.
        if (settings->detailDialogOpen_) {
            settings->freeWhenDetailEnds_ = true;
        } else {
            delete settings;
        }
        return FALSE;
    }
    return settings->Handle(message, wParam, lParam);
}

SettingsDialog::SettingsDialog(HWND dialog, const DeskServices& desk, SettingsDialogHost& host,
                               const SettingsDialogState& start)
    : window_(dialog), desk_(desk), host_(host), state_(start) {}

SettingsDialog* SettingsDialog::Create(const DeskServices& desk, SettingsDialogHost& host,
                                       const SettingsDialogState& start) {
    const SettingsRequest request{desk, host, start};
    HWND dialog = CreateDialogParamW(desk.instance, MAKEINTRESOURCEW(IDD_SETTINGS), nullptr,
                                     SettingsDialogProc, reinterpret_cast<LPARAM>(&request));
    return dialog != nullptr ? Of(dialog) : nullptr;
}

SettingsDialog* SettingsDialog::Of(HWND dialog) {
    if (dialog == nullptr ||
        reinterpret_cast<DLGPROC>(GetWindowLongPtrW(dialog, DWLP_DLGPROC)) != SettingsDialogProc) {
        return nullptr;
    }
    return reinterpret_cast<SettingsDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

void SettingsDialog::Show(int id, bool shown) {
    ShowWindow(GetDlgItem(window_, id), shown ? SW_SHOW : SW_HIDE);
}

void SettingsDialog::Enable(int id, bool enabled) {
    EnableWindow(GetDlgItem(window_, id), enabled ? TRUE : FALSE);
}

void SettingsDialog::ShowAndEnable(int first, int last, bool on) {
    for (int id = first; id <= last; ++id) {
        Show(id, on);
        Enable(id, on);
    }
}

// After WM_MOUSELEAVE the cursors are reloaded whether or not the hand is shown.
void SettingsDialog::ReloadCursors() {
    desk_.desktop.ReloadSystemCursors();
    handCursorShown_ = false;
}

void SettingsDialog::RestoreSystemCursors() {
    if (handCursorShown_) {
        ReloadCursors();
    }
}

// The mouse's answer to the profile query. An answer outside 0..5 is no profile the dialog
// can show: keep the one shown (the previous value).
void SettingsDialog::QueryProfile() {
    const std::optional<int32_t> answer = desk_.session.QueryProfile();
    if (answer && *answer >= 0 && *answer <= kBasicProfile) {
        state_.currentProfile = *answer;
    }
}

// A record of a kind this program never writes leaves its button's choice as it was.
void SettingsDialog::DecodeButtonFunctions() {
    for (int n = 0; n < kButtonCount; ++n) {
        if (const auto function = FunctionOf(DecodeButton(state_.profileBlock, n))) {
            state_.buttonChoices[n] = *function;
        }
    }
}

void SettingsDialog::ShowButtonFunctions() {
    for (int n = 0; n < kButtonCount; ++n) {
        const int32_t choice = state_.buttonChoices[n];
        SendDlgItemMessageW(window_, IDC_FUNCTION1 + n, CB_SETCURSEL, static_cast<WPARAM>(choice),
                            0);
        Show(IDC_DETAIL1 + n, false);
        if (choice >= FunctionSingleKey && choice <= FunctionSelectProfile) {
            Show(IDC_DETAIL1 + n, true);
        }
    }
}

void SettingsDialog::ShowActiveNumber() {
    for (int i = 0; i < kProfileCount; ++i) {
        Enable(IDC_PROFILE_NUMBER1 + i, false);
    }
    if (IsProfileIndex(state_.currentProfile)) {
        Enable(IDC_PROFILE_NUMBER1 + state_.currentProfile, true);
    }
}

void SettingsDialog::OnInitDialog() {
    const TextSettings& texts = desk_.texts;
    ApplyFontSize(window_, texts.dialogFontSize);
    texts.OverrideDialogItemTexts(window_, kTranslatedControls);
    numberFont_.Reset(CreateFontOfSize(window_, kNumberPoints));
    for (int i = 0; i < kProfileCount; ++i) {
        SendDlgItemMessageW(window_, IDC_PROFILE_NUMBER1 + i, WM_SETFONT,
                            reinterpret_cast<WPARAM>(numberFont_.Get()), TRUE);
        wchar_t number[2] = {static_cast<wchar_t>(L'1' + i), 0};
        SetDlgItemTextW(window_, IDC_PROFILE_NUMBER1 + i, number);
    }
    // From the program's own folder: started at log-on, the current folder is another.
    dialogIcon_.Reset(
        static_cast<HICON>(LoadImageW(nullptr, (ProgramFolder() + kDialogIconFile).c_str(),
                                      IMAGE_ICON, 16, 16, LR_LOADFROMFILE)));
    if (!dialogIcon_) {
        dialogIcon_.Reset(static_cast<HICON>(LoadImageW(
            desk_.instance, MAKEINTRESOURCEW(kTrayIconResource), IMAGE_ICON, 16, 16, 0)));
    }
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(dialogIcon_.Get()));
    texts.OverrideWindowText(window_, IDD_SETTINGS);
    wchar_t status[256] = {};
    GetDlgItemTextW(window_, IDC_STATUS, status, 256);
    statusText_ = status;
    Enable(IDC_APPLY, false);
    for (int n = 0; n < kButtonCount; ++n) {
        for (int f = 0; f < kFunctionCount; ++f) {
            std::wstring name = texts.LookupFunctionName(f);
            SendDlgItemMessageW(window_, IDC_FUNCTION1 + n, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(name.c_str()));
        }
    }
    trackX_ = GetDlgItem(window_, IDC_TRACK_X);
    trackY_ = GetDlgItem(window_, IDC_TRACK_Y);
    trackSpeed_ = GetDlgItem(window_, IDC_SPEED);
    SetTrackRange(trackSpeed_, 0, kSpeedMax);
    SetTrackRange(trackX_, kStepMin, kStepMax);
    SetTrackRange(trackY_, kStepMin, kStepMax);
    Refresh();
    CentreOnWorkArea(window_);
    SetTimer(window_, kPollTimerId, kPollPeriodMs, nullptr);
}

void SettingsDialog::OnProfileButton(int id) {
    const int profile = id - IDC_PROFILE_BUTTON1;
    if (profile == state_.currentProfile && Pending()) {
        return; // the profile shown stays, with its change
    }
    if (!SettleBeforeLeaving()) {
        return;
    }
    for (int i = 0; i < kProfileCount; ++i) {
        Enable(IDC_PROFILE_NUMBER1 + i, false);
    }
    Enable(IDC_PROFILE_NUMBER1 + profile, true);
    state_.currentProfile = profile;
    {
        const TransferUnderWay underWay(desk_.transfersUnderWay);
        desk_.session.Select(state_.currentProfile);
    }
    state_.profileBlock = LoadCachedProfile(state_.currentProfile);
    DecodeButtonFunctions();
    pendingHeader_ = desk_.headerBlock;
    MarkApplied();
    ShowButtonFunctions();
    ShowProfileResolution();
}

void SettingsDialog::HeaderReplaced(const HeaderBlock& before) {
    if (pendingHeader_.bytes != before.bytes) {
        return; // a resolution moved here stays to be applied
    }
    pendingHeader_ = desk_.headerBlock;
    ShowProfileResolution();
    ShowPending();
}

bool SettingsDialog::Pending() const {
    return writeFailed_ || state_.profileBlock.bytes != appliedProfile_.bytes ||
           pendingHeader_.bytes != desk_.headerBlock.bytes || state_.speedPosition != appliedSpeed_;
}

void SettingsDialog::ShowPending() {
    Enable(IDC_APPLY, Pending());
}

void SettingsDialog::MarkApplied() {
    appliedProfile_ = state_.profileBlock;
    std::copy(std::begin(state_.buttonChoices), std::end(state_.buttonChoices),
              std::begin(appliedChoices_));
    appliedSpeed_ = state_.speedPosition;
    writeFailed_ = false;
    ShowPending();
}

void SettingsDialog::Discard() {
    state_.profileBlock = appliedProfile_;
    std::copy(std::begin(appliedChoices_), std::end(appliedChoices_),
              std::begin(state_.buttonChoices));
    state_.speedPosition = appliedSpeed_;
    pendingHeader_ = desk_.headerBlock;
    writeFailed_ = false;
    SendMessageW(trackSpeed_, TBM_SETPOS, TRUE, state_.speedPosition);
    if (IsProfileIndex(state_.currentProfile)) {
        ShowButtonFunctions();
        ShowProfileResolution();
    }
    ShowPending();
}

bool SettingsDialog::SettleBeforeLeaving() {
    if (!Pending()) {
        return true;
    }
    const TextSettings& texts = desk_.texts;
    std::wstring text;
    if (IsProfileIndex(state_.currentProfile)) {
        // The number goes in by hand: the text comes from a file, so it is never a format.
        text = texts.LookupDefault(kApplyBeforeLeavingKey, kDefaultApplyBeforeLeaving);
        const size_t mark = text.find(L"%d");
        if (mark != std::wstring::npos) {
            text.replace(mark, 2, std::to_wstring(state_.currentProfile + 1));
        }
    } else {
        text = texts.LookupDefault(kApplyBeforeClosingKey, kDefaultApplyBeforeClosing);
    }
    const std::wstring title = texts.LookupDefault(kTitleKey, kDefaultTitle);
    switch (MessageBoxW(window_, text.c_str(), title.c_str(), MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDYES:
        return OnApply(); // a write that failed keeps the dialog where it is
    case IDNO:
        Discard();
        return true;
    default:
        return false;
    }
}

void SettingsDialog::Poll() {
    // While another TarnDesk holds the mouse (a long import), this round is skipped rather than
    // waited for: the dialog stays responsive.
    const SessionHold hold = desk_.session.Hold(0);
    if (!hold.Held()) {
        return;
    }
    QueryProfile();
    if (state_.currentProfile != state_.lastSeenProfile) {
        Refresh(); // sets lastSeenProfile
    }
}

// Writes the shown profile, and with it the header when asked and known, as one sequence under
// the caller's hold; the cache takes what was sent. True when every block reached the mouse.
bool SettingsDialog::WriteShown(bool withHeader) {
    const int32_t profile = state_.currentProfile;
    PendingWrite write;
    bool reached = true;
    bool stored = true;
    if (IsProfileIndex(profile)) {
        write.areas.push_back({AreaOfProfile(profile), state_.profileBlock.bytes});
    } else {
        // The basic state has no area: the walk opens the mouse and sends nothing.
        reached =
            desk_.session.RunDeviceOperation(::WriteProfile, profile, state_.profileBlock.data())
                .whole;
        stored = StoreCachedBlock(profile, state_.profileBlock) == 0;
    }
    const bool header = withHeader && desk_.headerKnown;
    if (header) {
        write.areas.push_back({kHeaderAreaNumber, desk_.headerBlock.bytes});
    }
    if (IsProfileIndex(profile) || header) {
        // Each block goes into the cache as soon as it was written, before the next one.
        reached = desk_.session
                      .WriteSequence(write,
                                     [&](size_t index, bool) {
                                         stored = (write.areas[index].first == kHeaderAreaNumber
                                                       ? StoreCachedHeader(desk_.headerBlock)
                                                       : StoreCachedBlock(
                                                             profile, state_.profileBlock)) == 0 &&
                                                  stored;
                                     })
                      .whole &&
                  reached;
    }
    if (!stored) {
        desk_.view.CacheStoreFailed();
    }
    desk_.view.Wrote();
    return reached;
}

void SettingsDialog::RunDetailDialog(int button) {
    const bool nested = detailDialogOpen_;
    detailDialogOpen_ = true;
    const ButtonAssignment stored = DecodeButton(state_.profileBlock, button);
    const ButtonFunction function = ButtonFunction(state_.buttonChoices[button]);
    const int32_t before =
        choiceBeforeDetail_ >= 0 ? choiceBeforeDetail_ : state_.buttonChoices[button];
    choiceBeforeDetail_ = -1;
    const int32_t profile = state_.currentProfile;
    std::optional<ButtonAssignment> result;
    if (function == FunctionSelectProfile) {
        result = RunSelectProfile(window_, desk_, stored, profile);
    } else {
        result = RunRecorder(window_, desk_, button, function, stored);
    }
    detailDialogOpen_ = nested;
    bool reached = true;
    bool current = true;
    {
        const TransferUnderWay underWay(desk_.transfersUnderWay);
        const SessionHold hold = desk_.session.Hold();
        current = !hold.Held() || freeWhenDetailEnds_ || desk_.view.CurrentBeforeWrite();
        if (current && result) {
            EncodeButton(state_.profileBlock, profile, button, *result);
            if (function != FunctionSelectProfile) {
                // The recorder's Apply writes the recording into the mouse and the cache itself.
                WriteShown(false);
            }
        }
        if (current) {
            reached = hold.Held() && WriteShown(false);
        }
        if (current && !result && !freeWhenDetailEnds_) {
            // Cancelled: the button shows the function its record holds again.
            state_.buttonChoices[button] = FunctionOf(stored).value_or(ButtonFunction(before));
            ShowButtonFunctions();
        }
    }
    if (freeWhenDetailEnds_) {
        if (!nested) {
            delete this;
        }
        return;
    }
    if (!current) {
        ShowChangedMeanwhile(window_, desk_.texts);
        return;
    }
    // The profile went whole into the mouse; a resolution moved before stays to be applied.
    appliedProfile_ = state_.profileBlock;
    std::copy(std::begin(state_.buttonChoices), std::end(state_.buttonChoices),
              std::begin(appliedChoices_));
    writeFailed_ = writeFailed_ || !reached; // a write that failed can be applied again
    ShowPending();
    if (!reached) {
        ShowWriteFailed(window_, desk_.texts);
    }
    if (!detailDialogOpen_ && IsWindow(window_)) {
        Poll(); // the switch the mouse made meanwhile shows now
    }
}

void SettingsDialog::OnFunctionChosen(int id) {
    const int n = id - IDC_FUNCTION1;
    const LRESULT choice = SendDlgItemMessageW(window_, id, CB_GETCURSEL, 0, 0);
    if (choice < 0 || choice >= kFunctionCount) {
        return;
    }
    const int c = static_cast<int>(choice);
    const int32_t before = state_.buttonChoices[n];
    state_.buttonChoices[n] = c;
    Show(IDC_DETAIL1 + n, false);
    if (c >= FunctionSingleKey) {
        Show(IDC_DETAIL1 + n, true);
    }
    if (const std::optional<ButtonAssignment> assignment = ChoiceAssignment(c)) {
        EncodeButton(state_.profileBlock, state_.currentProfile, n, *assignment);
        ShowPending();
        return;
    }
    choiceBeforeDetail_ = before;
    SendDlgItemMessageW(window_, id, CB_SETCURSEL, static_cast<WPARAM>(c), 0);
    SendMessageW(window_, WM_COMMAND, MAKEWPARAM(IDC_DETAIL1 + n, 0), 0);
}

bool SettingsDialog::OnApply() {
    const TransferUnderWay underWay(desk_.transfersUnderWay);
    Enable(IDC_APPLY, false);
    desk_.desktop.SetPointerSpeed(state_.speedPosition == 0 ? 1 : 2 * state_.speedPosition);
    bool reached = false;
    {
        // The whole of Apply is one piece: no other TarnDesk comes between its writes and
        // select.
        const SessionHold hold = desk_.session.Hold();
        if (hold.Held() && !desk_.view.CurrentBeforeWrite()) {
            ShowChangedMeanwhile(window_, desk_.texts);
            return false;
        }
        const std::wstring writing = desk_.texts.LookupDefault(kWritingKey, kDefaultWriting);
        SetDlgItemTextW(window_, IDC_STATUS, writing.c_str());
        UpdateWindow(GetDlgItem(window_, IDC_STATUS));
        desk_.headerBlock = pendingHeader_;
        reached = hold.Held() && WriteShown(true);
        desk_.session.Pause(kApplyPauseMs);
        desk_.session.Select(state_.currentProfile);
        SetDlgItemTextW(window_, IDC_STATUS, statusText_.c_str());
    }
    MarkApplied();
    if (!reached) {
        writeFailed_ = true; // so the same change can be applied again
        ShowPending();
        ShowWriteFailed(window_, desk_.texts);
    }
    return reached;
}

void SettingsDialog::OnClose() {
    if (!SettleBeforeLeaving()) {
        return;
    }
    dialogIcon_.Reset();
    KillTimer(window_, kPollTimerId);
    EndDialog(window_, 1);
    // Modeless: nothing refers to a closed dialog, so it is destroyed rather than kept hidden.
    DestroyWindow(window_);
}

void SettingsDialog::OnTrackbar(WPARAM wParam, LPARAM lParam) {
    auto track = reinterpret_cast<HWND>(lParam);
    const int code = LOWORD(wParam);
    if (track == nullptr || code < TB_LINEUP || code > TB_BOTTOM) {
        return;
    }
    auto position = static_cast<int32_t>(SendMessageW(track, TBM_GETPOS, 0, 0));
    if (track == trackX_ || track == trackY_) {
        if (track == trackX_) {
            state_.xStep = position;
            SetStepText(window_, IDC_DPI_X, state_.xStep);
        } else {
            state_.yStep = position;
            SetStepText(window_, IDC_DPI_Y, state_.yStep);
        }
        // Only the five records of the header block are resolution settings.
        pendingHeader_.SetResolution(state_.currentProfile, state_.xStep & 0xFF,
                                     state_.yStep & 0xFF);
    } else if (track == trackSpeed_) {
        state_.speedPosition = position;
    } else {
        return;
    }
    ShowPending();
}

void SettingsDialog::OnSetCursor(HWND over) {
    if (over == nullptr || !IsClickArea(GetDlgCtrlID(over))) {
        return;
    }
    HCURSOR hand = LoadCursorW(desk_.instance, MAKEINTRESOURCEW(IDR_HAND_CURSOR));
    if (hand != nullptr) {
        // Replaces the arrow on the whole desktop until the hover watch reloads the cursors.
        desk_.desktop.SetArrowCursor(CopyCursor(hand));
        handCursorShown_ = true;
        DestroyCursor(hand);
    }
    if (IsWindow(over)) {
        SetTimer(over, kHoverTimer, kHoverPeriodMs, HoverWatch);
    }
}

void SettingsDialog::OnDestroy() {
    KillTimer(window_, kPollTimerId);
    // The hover timer dies with its control and never posts WM_MOUSELEAVE.
    RestoreSystemCursors();
    ReleaseDialogFont(window_);
    // Each opening creates its own number font; released with the dialog.
    numberFont_.Reset();
    trackX_ = trackY_ = trackSpeed_ = nullptr;
    host_.SettingsDialogClosed(state_);
}

void SettingsDialog::SetLayout(bool basic) {
    InvalidateRect(window_, nullptr, TRUE);
    const bool profile = !basic;
    ShowAndEnable(IDC_PROFILE_LABEL, IDC_PROFILE_NUMBER1 + kProfileCount - 1, profile);
    ShowAndEnable(IDC_PROFILE_BUTTON1, IDC_PROFILE_BUTTON1 + kProfileCount - 1, profile);
    Show(IDC_FUNCTION1, profile);
    Enable(IDC_FUNCTION1, false); // button 0 keeps its function
    ShowAndEnable(IDC_FUNCTION1 + 1, IDC_FUNCTION1 + kButtonCount - 1, profile);
    ShowAndEnable(IDC_DETAIL1, IDC_DETAIL1 + kButtonCount - 1, profile);
    ShowAndEnable(IDC_DPI_X_LABEL, IDC_TRACK_Y, profile);
    ShowAndEnable(IDC_MOUSE_ANCHOR, IDC_MOUSE_ANCHOR, profile);
    ShowAndEnable(IDC_CAPTION1, IDC_CAPTION11, basic);
    ShowAndEnable(IDC_SPEED, IDC_ACCELERATION, basic);
    Show(IDC_APPLY, true);
    ShowAndEnable(IDC_CLOSE, IDC_CLOSE, true);
    ShowAndEnable(IDC_REFRESH, IDC_REFRESH, false);
}

void SettingsDialog::ShowProfileResolution() {
    if (!IsProfileIndex(state_.currentProfile)) {
        return;
    }
    // No header read whole yet: there is no resolution to show, and none to move.
    Enable(IDC_TRACK_X, desk_.headerKnown);
    Enable(IDC_TRACK_Y, desk_.headerKnown);
    if (!desk_.headerKnown) {
        SetDlgItemTextW(window_, IDC_DPI_X, kUnknownText);
        SetDlgItemTextW(window_, IDC_DPI_Y, kUnknownText);
        return;
    }
    const ProfileSettings settings = pendingHeader_.Settings(state_.currentProfile);
    state_.xStep = settings.resolutionX;
    state_.yStep = settings.resolutionY;
    SendDlgItemMessageW(window_, IDC_TRACK_X, TBM_SETPOS, TRUE, state_.xStep);
    SendDlgItemMessageW(window_, IDC_TRACK_Y, TBM_SETPOS, TRUE, state_.yStep);
    SetStepText(window_, IDC_DPI_X, state_.xStep);
    SetStepText(window_, IDC_DPI_Y, state_.yStep);
}

void SettingsDialog::Refresh() {
    QueryProfile();
    // The poll compares with what is shown: a switch that happens before the first poll
    // after opening must not be mistaken for the profile already shown.
    state_.lastSeenProfile = state_.currentProfile;
    pendingHeader_ = desk_.headerBlock;
    state_.speedPosition = desk_.desktop.PointerSpeed() / 2;
    SendMessageW(trackSpeed_, TBM_SETPOS, TRUE, state_.speedPosition);
    if (state_.currentProfile == kBasicProfile) {
        SetLayout(true);
        MarkApplied();
        return;
    }
    SetLayout(false);
    state_.profileBlock = LoadCachedProfile(state_.currentProfile);
    DecodeButtonFunctions();
    MarkApplied();
    ShowActiveNumber();
    ShowButtonFunctions();
    ShowProfileResolution();
}

INT_PTR SettingsDialog::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    // A transfer is waiting for the mouse (another TarnDesk holds it): clicks wait for it too.
    if (desk_.transfersUnderWay > 0 &&
        (message == WM_COMMAND || message == WM_CLOSE || message == WM_HSCROLL)) {
        // Answered: the default handling of WM_CLOSE would post a cancel for later.
        return message == WM_CLOSE ? TRUE : FALSE;
    }
    switch (message) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (id >= IDC_PROFILE_BUTTON1 && id < IDC_PROFILE_BUTTON1 + kProfileCount) {
            OnProfileButton(id);
        } else if (id >= IDC_FUNCTION1 && id < IDC_FUNCTION1 + kButtonCount) {
            if (HIWORD(wParam) == CBN_SELCHANGE) {
                OnFunctionChosen(id);
            }
        } else if (id >= IDC_DETAIL1 && id < IDC_DETAIL1 + kButtonCount) {
            RunDetailDialog(id - IDC_DETAIL1);
        } else if (id == IDC_APPLY) {
            OnApply();
        } else if (id == IDC_CLOSE || id == IDCANCEL) {
            // Escape and the close box come as IDCANCEL.
            OnClose();
        } else if (id == IDC_REFRESH) {
            Refresh();
        }
        return FALSE;
    }
    case WM_CLOSE:
        OnClose();
        return TRUE; // the default handling would post a second close as IDCANCEL
    case WM_TIMER:
        if (wParam == kPollTimerId && !detailDialogOpen_) {
            Poll();
        }
        return FALSE;
    case WM_HSCROLL:
        OnTrackbar(wParam, lParam);
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
        PaintSettingsPictures(window_, state_.currentProfile == kBasicProfile);
        return FALSE;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        const int id = static_cast<int>(item->CtlID);
        const int function = id >= IDC_DETAIL1 && id < IDC_DETAIL1 + kButtonCount
                                 ? state_.buttonChoices[id - IDC_DETAIL1]
                                 : FunctionButtonOff;
        DrawDetailButton(window_, item, function);
        return FALSE;
    }
    case WM_NOTIFY:
        return TrackbarCustomDraw(window_, wParam, lParam);
    default:
        return FALSE;
    }
}
