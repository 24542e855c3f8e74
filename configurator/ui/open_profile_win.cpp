#include "open_profile_win.h"

#include "dialog_conventions_win.h"
#include "dialog_drawing.h"
#include "model/memory_image.h"
#include "resources/open_profile_res.h"
#include "select_profile_win.h"

namespace {

constexpr int kTranslatedControls[] = {IDC_OPEN_PROFILE_QUESTION, IDC_OPEN_PROFILE_LABEL, IDOK,
                                       IDCANCEL};

struct SlotRequest {
    const TextSettings& texts;
    const std::wstring& name;
    int preselected;
    int chosen = -1;
};

void OnInitDialog(HWND dialog, const SlotRequest& request) {
    const TextSettings& texts = request.texts;
    ApplyFontSize(dialog, texts.dialogFontSize);
    texts.OverrideWindowText(dialog, IDD_OPEN_PROFILE);
    texts.OverrideDialogItemTexts(dialog, kTranslatedControls);
    SetDlgItemTextW(dialog, IDC_OPEN_PROFILE_NAME, request.name.c_str());
    HWND slots = GetDlgItem(dialog, IDC_OPEN_PROFILE_SLOT);
    for (int profile = 0; profile < kProfileCount; ++profile) {
        const std::wstring text = ProfileChoiceName(texts, profile);
        SendMessageW(slots, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    SendMessageW(slots, CB_SETCURSEL, static_cast<WPARAM>(request.preselected), 0);
    CentreOverOwner(dialog);
    // The file was opened on the desktop, which let this program come to the front.
    SetForegroundWindow(dialog);
    SetFocus(slots);
}

INT_PTR CALLBACK SlotDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* request = reinterpret_cast<SlotRequest*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        OnInitDialog(dialog, *reinterpret_cast<SlotRequest*>(lParam));
        return FALSE; // the focus is set: on the list of profiles
    case WM_COMMAND:
        if (request == nullptr)
            return FALSE;
        if (LOWORD(wParam) == IDOK) {
            const LRESULT chosen =
                SendDlgItemMessageW(dialog, IDC_OPEN_PROFILE_SLOT, CB_GETCURSEL, 0, 0);
            request->chosen = chosen >= 0 && chosen < kProfileCount ? static_cast<int>(chosen) : -1;
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        ReleaseDialogFont(dialog);
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

int ChooseProfileSlot(HINSTANCE instance, HWND owner, const TextSettings& texts,
                      const std::wstring& name, int preselected) {
    SlotRequest request{texts, name,
                        preselected >= 0 && preselected < kProfileCount ? preselected : 0};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_OPEN_PROFILE), owner, SlotDialogProc,
                    reinterpret_cast<LPARAM>(&request));
    return request.chosen;
}
