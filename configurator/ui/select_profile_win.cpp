// The Select Profile dialog: five radio buttons and OK; it cannot be cancelled.
#include "select_profile_win.h"

#include "dialog_drawing.h"
#include "profile_record.h"
#include "recorder.h"
#include "resources/select_profile_res.h"
#include "text_files.h"

namespace {

constexpr int kLastTarget = IDC_TARGET1 + kProfileCount - 1;
// The controls whose texts the language file translates.
constexpr int kTranslatedControls[] = {IDC_TARGET1, IDC_TARGET2, IDC_TARGET3,
                                       IDC_TARGET4, IDC_TARGET5, IDOK};

void OnInitDialog(HWND dialog, LPARAM parameter) {
    ApplyFontSize(dialog);
    BeginButtonEdit(parameter);
    OverrideWindowText(dialog, IDD_SELECT_PROFILE);
    OverrideDialogItemTexts(dialog, kTranslatedControls);
    selectedProfile = InitialTargetProfile();
    CheckRadioButton(dialog, IDC_TARGET1, kLastTarget, IDC_TARGET1 + selectedProfile);
}

} // namespace

INT_PTR CALLBACK SelectProfileDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog, lParam);
        return TRUE;
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        if (id >= IDC_TARGET1 && id <= kLastTarget) {
            selectedProfile = id - IDC_TARGET1;
            CheckRadioButton(dialog, IDC_TARGET1, kLastTarget, id);
        } else if (id == IDOK) {
            StoreProfileSwitch();
            EndDialog(dialog, 1);
        }
        // Every other command, Escape (IDCANCEL) among them, is ignored.
        return FALSE;
    }
    case WM_PAINT:
        PaintDialogItself(dialog);
        return FALSE;
    case WM_DESTROY:
        ReleaseDialogFont(dialog);
        return FALSE;
    default:
        return FALSE;
    }
}
