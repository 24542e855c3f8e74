// The Select Profile dialog: five radio buttons and OK; Escape and the close box cancel.
#include "select_profile_win.h"

#include "dialog_conventions_win.h"
#include "dialog_drawing.h"
#include "resources/select_profile_res.h"
#include "select_profile.h"

#include <memory>

namespace {

constexpr int kLastTarget = IDC_TARGET1 + kProfileCount - 1;
// The controls whose texts the language file translates.
constexpr int kTranslatedControls[] = {IDC_TARGET1, IDC_TARGET2, IDC_TARGET3,
                                       IDC_TARGET4, IDC_TARGET5, IDOK};

class SelectProfileDialog;

// Outlives the modal dialog, so it owns the dialog's object.
struct SelectRequest {
    const DeskServices& desk;
    const ButtonAssignment& stored;
    int32_t currentProfile;
    std::optional<ButtonAssignment> result;
    std::unique_ptr<SelectProfileDialog> dialog;
};

class SelectProfileDialog {
  public:
    SelectProfileDialog(HWND dialog, SelectRequest& request) : window_(dialog), request_(request) {}

    static SelectProfileDialog* Of(HWND dialog) {
        return reinterpret_cast<SelectProfileDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    }

    void OnInitDialog() {
        const TextSettings& texts = request_.desk.texts;
        ApplyFontSize(window_, texts.dialogFontSize);
        CentreOverOwner(window_);
        texts.OverrideWindowText(window_, IDD_SELECT_PROFILE);
        texts.OverrideDialogItemTexts(window_, kTranslatedControls);
        selectedProfile = InitialTargetProfile(request_.stored, request_.currentProfile);
        CheckRadioButton(window_, IDC_TARGET1, kLastTarget, IDC_TARGET1 + selectedProfile);
    }

    void OnCommand(int id) {
        if (id >= IDC_TARGET1 && id <= kLastTarget) {
            selectedProfile = id - IDC_TARGET1;
            CheckRadioButton(window_, IDC_TARGET1, kLastTarget, id);
        } else if (id == IDOK) {
            request_.result = ProfileSwitchTo(selectedProfile);
            EndDialog(window_, 1);
        } else if (id == IDCANCEL) {
            EndDialog(window_, IDCANCEL); // the button keeps what it had
        }
    }

    // The target the radio buttons show, 0..4.
    int32_t selectedProfile = 0;

  private:
    HWND window_;
    SelectRequest& request_;
};

INT_PTR CALLBACK SelectProfileDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto& request = *reinterpret_cast<SelectRequest*>(lParam);
        request.dialog = std::make_unique<SelectProfileDialog>(dialog, request);
        SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(request.dialog.get()));
        request.dialog->OnInitDialog();
        return TRUE;
    }
    SelectProfileDialog* select = SelectProfileDialog::Of(dialog);
    if (select == nullptr) {
        return FALSE;
    }
    switch (message) {
    case WM_COMMAND:
        select->OnCommand(LOWORD(wParam));
        return FALSE;
    case WM_PAINT:
        PaintDialogItself(dialog);
        return FALSE;
    case WM_DESTROY:
        ReleaseDialogFont(dialog);
        SetWindowLongPtrW(dialog, DWLP_USER, 0);
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

std::optional<ButtonAssignment> RunSelectProfile(HWND owner, const DeskServices& desk,
                                                 const ButtonAssignment& stored,
                                                 int32_t currentProfile) {
    SelectRequest request{desk, stored, currentProfile, std::nullopt, nullptr};
    DialogBoxParamW(desk.instance, MAKEINTRESOURCEW(IDD_SELECT_PROFILE), owner,
                    SelectProfileDialogProc, reinterpret_cast<LPARAM>(&request));
    return request.result;
}

std::wstring ProfileChoiceName(const TextSettings& texts, int profile) {
    std::wstring name = texts.LookupOverride(IDC_TARGET1 + profile);
    return name.empty() ? L"Profile " + std::to_wstring(profile + 1) : name;
}
