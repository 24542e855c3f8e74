// The Program profiles dialog: edits a copy of the rules; OK stores and applies it.
#include "program_profiles_win.h"

#include "dialog_conventions_win.h"
#include "dialog_drawing.h"
#include "handle_owners_win.h"
#include "model/memory_image.h"
#include "settings/program_rules.h"
#include "program_switch_win.h"
#include "resources/program_profiles_res.h"
#include "select_profile_win.h"
#include "settings/text_files.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

// The controls whose texts the language file translates.
constexpr int kTranslatedControls[] = {IDC_SWITCHING_ON,
                                       IDC_ADD_PROGRAM,
                                       IDC_ADD_RUNNING,
                                       IDC_REMOVE_RULE,
                                       IDC_RULE_PROFILE_LABEL,
                                       IDC_DESKTOP_LABEL,
                                       IDOK,
                                       IDCANCEL};
// The profile column holds "Profile 5" and its caption in every shipped language (Japanese
// takes the most room); the program column has the rest.
constexpr int kProgramColumnWidthPercent = 60;
constexpr DWORD kPathCapacity = 32768;

BOOL CALLBACK CollectProgram(HWND window, LPARAM param) {
    auto* programs = reinterpret_cast<std::vector<std::wstring>*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (!IsWindowVisible(window) || GetWindow(window, GW_OWNER) != nullptr ||
        process == GetCurrentProcessId() ||
        (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0) {
        return TRUE;
    }
    std::wstring path = WindowProgramPath(window);
    const bool known = std::any_of(programs->begin(), programs->end(),
                                   [&](const auto& p) { return SameProgramText(p, path); });
    if (!path.empty() && !known) {
        programs->push_back(std::move(path));
    }
    return TRUE;
}

// Menu text: the file name, then the folder after a tab; '&' doubled so it is not taken for
// an access key.
std::wstring MenuText(const std::wstring& path) {
    std::wstring text = std::wstring(FileNameOf(path)) + L"\t" + path;
    for (size_t at = text.find(L'&'); at != std::wstring::npos; at = text.find(L'&', at + 2)) {
        text.insert(at, 1, L'&');
    }
    return text;
}

void AddColumn(HWND list, int index, const std::wstring& title, int width) {
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    std::wstring text = title;
    column.pszText = text.data();
    column.cx = width;
    column.iSubItem = index;
    ListView_InsertColumn(list, index, &column);
}

class ProgramProfilesDialog {
  public:
    ProgramProfilesDialog(HWND window, const TextSettings& settingsTexts, ProgramSwitcher& rules)
        : dialog(window), texts(settingsTexts), switcher(rules) {}

    static ProgramProfilesDialog* Of(HWND window) {
        return reinterpret_cast<ProgramProfilesDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    }

    HWND List() { return GetDlgItem(dialog, IDC_RULE_LIST); }

    std::wstring ProfileName(int profile) const { return ProfileChoiceName(texts, profile); }

    void SetStatus(const wchar_t* key, const wchar_t* builtIn) {
        SetDlgItemTextW(dialog, IDC_RULES_STATUS, texts.LookupDefault(key, builtIn).c_str());
    }

    std::optional<size_t> SelectedRule() {
        const int item = ListView_GetNextItem(List(), -1, LVNI_SELECTED);
        if (item < 0 || static_cast<size_t>(item) >= edited.rules.size()) {
            return std::nullopt;
        }
        return static_cast<size_t>(item);
    }

    void ShowSelectedRule() {
        const std::optional<size_t> rule = SelectedRule();
        for (int id : {IDC_REMOVE_RULE, IDC_RULE_PROFILE_LABEL, IDC_RULE_PROFILE}) {
            EnableWindow(GetDlgItem(dialog, id), rule ? TRUE : FALSE);
        }
        SendDlgItemMessageW(
            dialog, IDC_RULE_PROFILE, CB_SETCURSEL,
            rule ? static_cast<WPARAM>(edited.rules[*rule].profile) : static_cast<WPARAM>(-1), 0);
    }

    void ShowRules(std::optional<size_t> select) {
        HWND list = List();
        ListView_DeleteAllItems(list);
        for (size_t i = 0; i < edited.rules.size(); ++i) {
            LVITEMW item = {};
            item.mask = LVIF_TEXT;
            item.iItem = static_cast<int>(i);
            item.pszText = edited.rules[i].program.data();
            ListView_InsertItem(list, &item);
            std::wstring profile = ProfileName(edited.rules[i].profile);
            ListView_SetItemText(list, static_cast<int>(i), 1, profile.data());
        }
        if (select && *select < edited.rules.size()) {
            const int item = static_cast<int>(*select);
            ListView_SetItemState(list, item, LVIS_SELECTED | LVIS_FOCUSED,
                                  LVIS_SELECTED | LVIS_FOCUSED);
            ListView_EnsureVisible(list, item, FALSE);
        }
        ShowSelectedRule();
    }

    void AddProgram(const std::wstring& program) {
        size_t index = 0;
        switch (AddRule(&edited.rules, program, 0, &index)) {
        case AddRuleResult::Full:
            SetStatus(kRulesFullKey, kDefaultRulesFull);
            return;
        case AddRuleResult::Invalid:
            return;
        case AddRuleResult::Added:
        case AddRuleResult::Present:
            ShowRules(index);
            SetFocus(List());
            return;
        }
    }

    void AddProgramFile() {
        const std::wstring pattern = L"*.exe";
        std::wstring filter = texts.LookupDefault(kProgramFilesKey, kDefaultProgramFiles) + L" (" +
                              pattern + L")" + L'\0' + pattern + L'\0';
        filter += L'\0';
        std::wstring path(kPathCapacity, L'\0');
        OPENFILENAMEW open = {};
        open.lStructSize = sizeof(open);
        open.hwndOwner = dialog;
        open.lpstrFilter = filter.c_str();
        open.lpstrFile = path.data();
        open.nMaxFile = kPathCapacity;
        open.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
        if (GetOpenFileNameW(&open) != FALSE) {
            AddProgram(path.c_str());
        }
    }

    // The programs with a window on the desktop, in a menu under the button.
    void AddRunningProgram() {
        std::vector<std::wstring> programs;
        EnumWindows(CollectProgram, reinterpret_cast<LPARAM>(&programs));
        if (programs.empty()) {
            return;
        }
        std::sort(programs.begin(), programs.end(), [](const auto& a, const auto& b) {
            return _wcsicmp(std::wstring(FileNameOf(a)).c_str(),
                            std::wstring(FileNameOf(b)).c_str()) < 0;
        });
        UniqueMenu menu(CreatePopupMenu());
        for (size_t i = 0; i < programs.size(); ++i) {
            AppendMenuW(menu.Get(), MF_STRING, i + 1, MenuText(programs[i]).c_str());
        }
        RECT button = {};
        GetWindowRect(GetDlgItem(dialog, IDC_ADD_RUNNING), &button);
        // Left- and top-aligned under the button (the zero flags); the choice comes back here.
        const UINT chosen = static_cast<UINT>(TrackPopupMenu(menu.Get(), TPM_RETURNCMD, button.left,
                                                             button.bottom, 0, dialog, nullptr));
        if (chosen >= 1 && chosen <= programs.size()) {
            AddProgram(programs[chosen - 1]);
        }
    }

    void RemoveRule() {
        const std::optional<size_t> rule = SelectedRule();
        if (!rule) {
            return;
        }
        edited.rules.erase(edited.rules.begin() + static_cast<std::ptrdiff_t>(*rule));
        std::optional<size_t> next;
        if (!edited.rules.empty()) {
            next = std::min(*rule, edited.rules.size() - 1);
        }
        ShowRules(next);
    }

    void OnRuleProfileChosen() {
        const std::optional<size_t> rule = SelectedRule();
        const LRESULT choice = SendDlgItemMessageW(dialog, IDC_RULE_PROFILE, CB_GETCURSEL, 0, 0);
        if (!rule || choice < 0 || choice >= kProfileCount) {
            return;
        }
        edited.rules[*rule].profile = static_cast<int>(choice);
        std::wstring name = ProfileName(edited.rules[*rule].profile);
        ListView_SetItemText(List(), static_cast<int>(*rule), 1, name.data());
    }

    // A renamed program (to a file name alone, say) replaces the rule's text when it is one.
    void OnLabelEdited(const NMLVDISPINFOW* info) {
        if (info->item.pszText == nullptr || info->item.iItem < 0 ||
            static_cast<size_t>(info->item.iItem) >= edited.rules.size()) {
            return; // cancelled
        }
        const auto index = static_cast<size_t>(info->item.iItem);
        const std::wstring program = CleanProgramText(info->item.pszText);
        const std::optional<size_t> other = FindRule(edited.rules, program);
        if (program.empty() || (other && *other != index)) {
            return;
        }
        edited.rules[index].program = program;
        ListView_SetItemText(List(), info->item.iItem, 0, edited.rules[index].program.data());
    }

    void FillProfileChoices(int id, bool withKeep) {
        if (withKeep) {
            SendDlgItemMessageW(
                dialog, id, CB_ADDSTRING, 0,
                reinterpret_cast<LPARAM>(
                    texts.LookupDefault(kKeepProfileKey, kDefaultKeepProfile).c_str()));
        }
        for (int profile = 0; profile < kProfileCount; ++profile) {
            SendDlgItemMessageW(dialog, id, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(ProfileName(profile).c_str()));
        }
    }

    void OnInitDialog() {
        ApplyFontSize(dialog, texts.dialogFontSize);
        texts.OverrideWindowText(dialog, IDD_PROGRAM_PROFILES);
        texts.OverrideDialogItemTexts(dialog, kTranslatedControls);
        edited = LoadProgramRuleSettings();
        CheckDlgButton(dialog, IDC_SWITCHING_ON, edited.on ? BST_CHECKED : BST_UNCHECKED);

        HWND list = List();
        ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
        RECT area = {};
        GetClientRect(list, &area);
        const int programWidth = area.right * kProgramColumnWidthPercent / 100;
        AddColumn(list, 0, texts.LookupDefault(kProgramColumnKey, kDefaultProgramColumn),
                  programWidth);
        AddColumn(list, 1, texts.LookupDefault(L"200", L"Profile"),
                  area.right - programWidth - GetSystemMetrics(SM_CXVSCROLL));

        FillProfileChoices(IDC_RULE_PROFILE, false);
        FillProfileChoices(IDC_DESKTOP_PROFILE, true);
        SendDlgItemMessageW(
            dialog, IDC_DESKTOP_PROFILE, CB_SETCURSEL,
            static_cast<WPARAM>(edited.desktopProfile ? *edited.desktopProfile + 1 : 0), 0);
        ShowRules(edited.rules.empty() ? std::nullopt : std::optional<size_t>(0));
        if (edited.skipped > 0) {
            SetStatus(kRulesSkippedKey, kDefaultRulesSkipped);
        }
    }

    void OnOk() {
        edited.on = IsDlgButtonChecked(dialog, IDC_SWITCHING_ON) == BST_CHECKED;
        const LRESULT desktop =
            SendDlgItemMessageW(dialog, IDC_DESKTOP_PROFILE, CB_GETCURSEL, 0, 0);
        edited.desktopProfile = desktop >= 1 && desktop <= kProfileCount
                                    ? std::optional<int>(static_cast<int>(desktop) - 1)
                                    : std::nullopt;
        const bool stored = StoreProgramRuleSettings(edited);
        switcher.Apply(edited);
        if (!stored) {
            // In force all the same; the user must know they will not come back next time.
            MessageBoxW(
                dialog, texts.LookupDefault(kRulesNotStoredKey, kDefaultRulesNotStored).c_str(),
                texts.LookupDefault(kTitleKey, kDefaultTitle).c_str(), MB_ICONWARNING | MB_OK);
        }
        EndDialog(dialog, IDOK);
    }

    INT_PTR OnNotify(const NMHDR* header) {
        if (header->idFrom != IDC_RULE_LIST) {
            return FALSE;
        }
        switch (header->code) {
        case LVN_ITEMCHANGED:
            ShowSelectedRule();
            break;
        case LVN_ENDLABELEDITW:
            // Our own text goes in (or the old stays); the list view must not put the raw one.
            OnLabelEdited(reinterpret_cast<const NMLVDISPINFOW*>(header));
            SetWindowLongPtrW(dialog, DWLP_MSGRESULT, FALSE);
            return TRUE;
        case LVN_KEYDOWN: {
            const WORD key = reinterpret_cast<const NMLVKEYDOWN*>(header)->wVKey;
            if (key == VK_DELETE) {
                RemoveRule();
            } else if (key == VK_F2) {
                if (const std::optional<size_t> rule = SelectedRule()) {
                    ListView_EditLabel(List(), static_cast<int>(*rule));
                }
            }
            break;
        }
        default:
            break;
        }
        return FALSE;
    }

    HWND dialog;
    const TextSettings& texts;
    ProgramSwitcher& switcher;
    // The dialog's working copy; put in force by OK.
    ProgramRuleSettings edited;
};

} // namespace

namespace {

struct ProgramProfilesRequest {
    const TextSettings& texts;
    ProgramSwitcher& switcher;
    HWND& openDialog;
};

} // namespace

INT_PTR CALLBACK ProgramProfilesDialogProc(HWND dialog, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* request = reinterpret_cast<ProgramProfilesRequest*>(lParam);
        request->openDialog = dialog;
        auto* editor = new ProgramProfilesDialog(dialog, request->texts, request->switcher);
        SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(editor));
        editor->OnInitDialog();
        CentreOnWorkArea(dialog);
        return TRUE;
    }
    ProgramProfilesDialog* editor = ProgramProfilesDialog::Of(dialog);
    if (editor == nullptr) {
        return FALSE;
    }
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            // Enter while a program's name is edited ends the edit, not the dialog.
            if (ListView_GetEditControl(editor->List()) != nullptr) {
                SetFocus(editor->List());
            } else {
                editor->OnOk();
            }
            break;
        case IDCANCEL:
            if (ListView_GetEditControl(editor->List()) != nullptr) {
                ListView_CancelEditLabel(editor->List());
            } else {
                EndDialog(dialog, IDCANCEL);
            }
            break;
        case IDC_ADD_PROGRAM:
            editor->AddProgramFile();
            break;
        case IDC_ADD_RUNNING:
            editor->AddRunningProgram();
            break;
        case IDC_REMOVE_RULE:
            editor->RemoveRule();
            break;
        case IDC_RULE_PROFILE:
            if (HIWORD(wParam) == CBN_SELCHANGE) {
                editor->OnRuleProfileChosen();
            }
            break;
        default:
            break;
        }
        return FALSE;
    case WM_NOTIFY:
        return editor->OnNotify(reinterpret_cast<const NMHDR*>(lParam));
    case WM_DESTROY:
        ReleaseDialogFont(dialog);
        SetWindowLongPtrW(dialog, DWLP_USER, 0);
        delete editor;
        return FALSE;
    default:
        return FALSE;
    }
}

void RunProgramProfilesDialog(HWND owner, const TextSettings& texts, ProgramSwitcher& switcher,
                              HWND& openDialog) {
    if (openDialog != nullptr) {
        SetForegroundWindow(openDialog);
        return;
    }
    ProgramProfilesRequest request{texts, switcher, openDialog};
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROGRAM_PROFILES), owner,
                    ProgramProfilesDialogProc, reinterpret_cast<LPARAM>(&request));
    openDialog = nullptr;
}
