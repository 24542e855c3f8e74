// The profile library dialog: the library's profiles by name with the date they were saved and
// what they hold; the mouse's profile chosen below is saved into the library or receives the
// selected library profile.
#include "library_dialog_win.h"

#include "dialog_conventions_win.h"
#include "dialog_drawing.h"
#include "message_boxes_win.h"
#include "profile_menu.h"
#include "progress_window_win.h"
#include "resources/library_dialog_res.h"
#include "select_profile_win.h"
#include "settings/backup_restore.h"
#include "settings/profile_library.h"
#include "text_rules.h"
#include "tray_icon_win.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cwchar>
#include <vector>

namespace {

constexpr int kTranslatedControls[] = {
    IDC_LIBRARY_SLOT_LABEL, IDC_LIBRARY_LOAD,   IDC_LIBRARY_SAVE,   IDC_LIBRARY_IMPORT,
    IDC_LIBRARY_RENAME,     IDC_LIBRARY_DELETE, IDC_LIBRARY_FOLDER, IDC_LIBRARY_CLOSE};
constexpr int kTranslatedNameControls[] = {IDC_LIBRARY_NAME_LABEL, IDOK, IDCANCEL};

constexpr wchar_t kLoadAskKey[] = L"LibraryLoadAsk";
constexpr wchar_t kDefaultLoadAsk[] = L"Load \"%s\" into profile %s of the mouse? What the mouse "
                                      L"holds now is kept in the history first.";
constexpr wchar_t kDeleteAskKey[] = L"LibraryDeleteAsk";
constexpr wchar_t kDefaultDeleteAsk[] = L"Move \"%s\" to the Recycle Bin?";
constexpr wchar_t kNotDeletedKey[] = L"LibraryNotDeleted";
constexpr wchar_t kDefaultNotDeleted[] = L"\"%s\" could not be moved to the Recycle Bin.";
constexpr wchar_t kSaveFailedKey[] = L"LibrarySaveFailed";
constexpr wchar_t kDefaultSaveFailed[] = L"Profile %s could not be saved into the library.";
constexpr wchar_t kImportFailedKey[] = L"LibraryImportFailed";
constexpr wchar_t kDefaultImportFailed[] = L"%s cannot be added to the library: %s.";
constexpr wchar_t kRenameFailedKey[] = L"LibraryRenameFailed";
constexpr wchar_t kDefaultRenameFailed[] = L"\"%s\" could not be renamed: %s.";
constexpr wchar_t kNoFolderKey[] = L"LibraryNoFolder";
constexpr wchar_t kDefaultNoFolder[] =
    L"The library's folder cannot be made in your Documents folder.";
constexpr wchar_t kNameRefusedKey[] = L"LibraryNameRefused";
constexpr wchar_t kDefaultNameRefused[] = L"This name cannot be used: %s.";
constexpr wchar_t kLibraryFilesKey[] = L"LibraryFiles";
constexpr wchar_t kDefaultLibraryFiles[] = L"Mouse profile";

struct NameDialog {
    const TextSettings& texts;
    std::wstring& name;
};

INT_PTR CALLBACK NameDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* asked = reinterpret_cast<NameDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        asked = reinterpret_cast<NameDialog*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        ApplyFontSize(dialog, asked->texts.dialogFontSize);
        asked->texts.OverrideWindowText(dialog, IDD_LIBRARY_NAME);
        asked->texts.OverrideDialogItemTexts(dialog, kTranslatedNameControls);
        // Room for 64 characters of any script, two UTF-16 units each at most; the check counts.
        SendDlgItemMessageW(dialog, IDC_LIBRARY_NAME, EM_LIMITTEXT, kLibraryNameMaxCount * 2, 0);
        SetDlgItemTextW(dialog, IDC_LIBRARY_NAME, asked->name.c_str());
        CentreOverOwner(dialog);
        SetFocus(GetDlgItem(dialog, IDC_LIBRARY_NAME));
        SendDlgItemMessageW(dialog, IDC_LIBRARY_NAME, EM_SETSEL, 0, -1);
        return FALSE; // the focus is set: on the name, selected
    case WM_COMMAND:
        if (asked == nullptr)
            return FALSE;
        if (LOWORD(wParam) == IDOK) {
            std::wstring typed(size_t(GetWindowTextLengthW(GetDlgItem(dialog, IDC_LIBRARY_NAME))),
                               L'\0');
            GetDlgItemTextW(dialog, IDC_LIBRARY_NAME, typed.data(), int(typed.size() + 1));
            const std::wstring problem = LibraryNameProblem(ToUtf8(typed));
            if (!problem.empty()) {
                // Told here, so the user can mend the name without starting again.
                Tell(dialog, asked->texts,
                     FillPattern(asked->texts.LookupDefault(kNameRefusedKey, kDefaultNameRefused),
                                 {problem}),
                     MB_ICONERROR);
                SetFocus(GetDlgItem(dialog, IDC_LIBRARY_NAME));
                return TRUE;
            }
            asked->name = typed;
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

struct LibraryDialog {
    const DeskServices& desk;
    const std::function<void()>& loaded;
    HWND& openDialog;
    HWND dialog = nullptr;
    std::wstring folder;
    std::vector<LibraryEntry> entries;

    HWND List() const { return GetDlgItem(dialog, IDC_LIBRARY_LIST); }
    HWND Slot() const { return GetDlgItem(dialog, IDC_LIBRARY_SLOT); }
    std::wstring Text(const wchar_t* key, const wchar_t* builtIn) const {
        return desk.texts.LookupDefault(key, builtIn);
    }
    TextLookup Lookup() const {
        return [this](const wchar_t* key, const wchar_t* builtIn) { return Text(key, builtIn); };
    }
    const DeviceIds& Ids() const { return desk.session.Ids(); }

    std::wstring ProfileName(int profile) const { return ProfileChoiceName(desk.texts, profile); }
    int ChosenSlot() const {
        const LRESULT chosen = SendMessageW(Slot(), CB_GETCURSEL, 0, 0);
        return chosen >= 0 && chosen < kProfileCount ? int(chosen) : 0;
    }

    void Fill(const std::wstring& select) {
        HWND list = List();
        ListView_DeleteAllItems(list);
        entries = ListLibrary(folder, IdValue(Ids().vendorId), IdValue(Ids().productId));
        FunctionNames names;
        for (int f = 0; f < kFunctionCount; ++f)
            names[size_t(f)] = desk.texts.LookupFunctionName(f);
        int selected = 0;
        for (size_t i = 0; i < entries.size(); ++i) {
            const LibraryEntry& entry = entries[i];
            std::wstring name = entry.name;
            std::wstring date = entry.accepted ? LibraryDateText(entry.info.written) : L"";
            std::wstring summary =
                entry.accepted ? LibrarySummary(entry.profile, names, Lookup())
                               : FillPattern(Text(kLibraryRefusedKey, kDefaultLibraryRefused),
                                             {entry.problem});
            LVITEMW item = {};
            item.mask = LVIF_TEXT;
            item.iItem = static_cast<int>(i);
            item.pszText = name.data();
            ListView_InsertItem(list, &item);
            ListView_SetItemText(list, static_cast<int>(i), 1, date.data());
            ListView_SetItemText(list, static_cast<int>(i), 2, summary.data());
            if (_wcsicmp(entry.path.c_str(), select.c_str()) == 0)
                selected = static_cast<int>(i);
        }
        if (!entries.empty()) {
            ListView_SetItemState(list, selected, LVIS_SELECTED | LVIS_FOCUSED,
                                  LVIS_SELECTED | LVIS_FOCUSED);
            ListView_EnsureVisible(list, selected, FALSE);
        }
        EnableButtons();
    }

    const LibraryEntry* Selected() const {
        const int item = ListView_GetNextItem(List(), -1, LVNI_SELECTED);
        return item >= 0 && size_t(item) < entries.size() ? &entries[size_t(item)] : nullptr;
    }

    void EnableButtons() {
        const LibraryEntry* entry = Selected();
        const bool usable = entry != nullptr && entry->accepted;
        const bool haveFolder = !folder.empty();
        EnableWindow(GetDlgItem(dialog, IDC_LIBRARY_LOAD), usable ? TRUE : FALSE);
        EnableWindow(GetDlgItem(dialog, IDC_LIBRARY_RENAME), usable ? TRUE : FALSE);
        EnableWindow(GetDlgItem(dialog, IDC_LIBRARY_DELETE), entry != nullptr ? TRUE : FALSE);
        EnableWindow(GetDlgItem(dialog, IDC_LIBRARY_SAVE), haveFolder ? TRUE : FALSE);
        EnableWindow(GetDlgItem(dialog, IDC_LIBRARY_IMPORT), haveFolder ? TRUE : FALSE);
        EnableWindow(GetDlgItem(dialog, IDC_LIBRARY_FOLDER), haveFolder ? TRUE : FALSE);
    }

    void AddColumn(int index, const std::wstring& caption, int width) {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<wchar_t*>(caption.c_str());
        column.cx = width;
        ListView_InsertColumn(List(), index, &column);
    }

    void OnInitDialog() {
        ApplyFontSize(dialog, desk.texts.dialogFontSize);
        desk.texts.OverrideWindowText(dialog, IDD_LIBRARY);
        desk.texts.OverrideDialogItemTexts(dialog, kTranslatedControls);
        ListView_SetExtendedListViewStyle(List(), LVS_EX_FULLROWSELECT);
        RECT area = {};
        GetClientRect(List(), &area);
        const int nameWidth = area.right * 25 / 100;
        const int dateWidth = area.right * 25 / 100;
        AddColumn(0, Text(L"LibraryName", L"Name"), nameWidth);
        AddColumn(1, Text(L"LibrarySaved", L"Saved"), dateWidth);
        AddColumn(2, Text(L"LibraryHolds", L"What it holds"), area.right - nameWidth - dateWidth);
        for (int profile = 0; profile < kProfileCount; ++profile)
            SendMessageW(Slot(), CB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(ProfileName(profile).c_str()));
        // The mouse's active profile is the one a user most likely means.
        int active = 0;
        if (desk.transfersUnderWay == 0 && desk.session.IsMousePresent()) {
            const std::optional<int32_t> answer = desk.session.QueryProfile();
            if (answer && IsProfileIndex(*answer))
                active = *answer;
        }
        SendMessageW(Slot(), CB_SETCURSEL, WPARAM(active), 0);
        folder = LibraryFolder(desk.texts);
        Fill({});
        CentreOnWorkArea(dialog);
        SetFocus(List());
    }

    // The folder, made for what is about to go into it; told when it cannot be.
    bool FolderMade() const {
        if (MakeLibraryFolder(folder))
            return true;
        Tell(dialog, desk.texts, Text(kNoFolderKey, kDefaultNoFolder), MB_ICONERROR);
        return false;
    }

    void OnLoad() {
        const LibraryEntry* entry = Selected();
        if (entry == nullptr || !entry->accepted || desk.transfersUnderWay > 0)
            return;
        const int slot = ChosenSlot();
        const std::wstring ask = FillPattern(Text(kLoadAskKey, kDefaultLoadAsk),
                                             {entry->name, std::to_wstring(slot + 1)});
        if (MessageBoxW(dialog, ask.c_str(), Text(kTitleKey, kDefaultTitle).c_str(),
                        MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
            return;
        const std::wstring path = entry->path;
        LoadProfileInto(dialog, desk, path, slot, loaded, [this](const std::wstring& done) {
            Tell(dialog, desk.texts, done, MB_ICONINFORMATION);
        });
        Fill(path);
    }

    void OnSave() {
        if (folder.empty() || desk.transfersUnderWay > 0)
            return;
        if (!desk.session.IsMousePresent()) {
            ShowConnectMouse(desk.texts);
            return;
        }
        const int slot = ChosenSlot();
        std::wstring name = ProfileName(slot);
        if (!AskProfileName(dialog, desk.texts, name))
            return;
        if (!FolderMade())
            return;
        const std::wstring path = NewLibraryPath(folder, name);
        CapturedReport report(&desk.texts);
        int result = kExitDone;
        {
            const TransferUnderWay underWay(desk.transfersUnderWay);
            result = RunWithProgress(
                dialog, desk.texts, Text(kReadingKey, kDefaultReading), [&](TransferProgress&) {
                    return SaveLibraryProfile(desk.session, slot, path, name, report);
                });
        }
        if (result != kExitDone)
            Tell(
                dialog, desk.texts,
                FillPattern(Text(kSaveFailedKey, kDefaultSaveFailed), {std::to_wstring(slot + 1)}) +
                    L"\n\n" + report.Text(),
                MB_ICONERROR);
        Fill(path);
    }

    void OnImport() {
        if (folder.empty())
            return;
        const std::wstring source = ChooseFileToOpen(
            dialog, Text(kLibraryFilesKey, kDefaultLibraryFiles), kLibraryProfileExtension);
        if (source.empty() || !FolderMade())
            return;
        std::wstring added;
        const std::wstring problem = ImportIntoLibrary(source, folder, IdValue(Ids().vendorId),
                                                       IdValue(Ids().productId), &added);
        if (!problem.empty()) {
            Tell(dialog, desk.texts,
                 FillPattern(Text(kImportFailedKey, kDefaultImportFailed), {source, problem}),
                 MB_ICONERROR);
            return;
        }
        Fill(added);
    }

    void OnRename() {
        const LibraryEntry* entry = Selected();
        if (entry == nullptr || !entry->accepted)
            return;
        std::wstring name = entry->name;
        if (!AskProfileName(dialog, desk.texts, name) || name == entry->name)
            return;
        std::wstring renamed;
        const std::wstring problem = RenameLibraryProfile(*entry, name, &renamed);
        if (!problem.empty()) {
            Tell(dialog, desk.texts,
                 FillPattern(Text(kRenameFailedKey, kDefaultRenameFailed), {entry->name, problem}),
                 MB_ICONERROR);
            return;
        }
        Fill(renamed);
    }

    void OnDelete() {
        const LibraryEntry* entry = Selected();
        if (entry == nullptr)
            return;
        const std::wstring ask = FillPattern(Text(kDeleteAskKey, kDefaultDeleteAsk), {entry->name});
        if (MessageBoxW(dialog, ask.c_str(), Text(kTitleKey, kDefaultTitle).c_str(),
                        MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
            return;
        const int item = ListView_GetNextItem(List(), -1, LVNI_SELECTED);
        if (!RecycleFile(entry->path)) {
            Tell(dialog, desk.texts,
                 FillPattern(Text(kNotDeletedKey, kDefaultNotDeleted), {entry->name}),
                 MB_ICONERROR);
            return;
        }
        // The selection moves to the profile that took the deleted one's place.
        Fill({});
        if (!entries.empty()) {
            const int next = item < int(entries.size()) ? item : int(entries.size()) - 1;
            ListView_SetItemState(List(), -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
            ListView_SetItemState(List(), next, LVIS_SELECTED | LVIS_FOCUSED,
                                  LVIS_SELECTED | LVIS_FOCUSED);
        }
        EnableButtons();
    }

    void OnOpenFolder() const {
        if (FolderMade())
            ShellExecuteW(dialog, L"open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
};

INT_PTR CALLBACK LibraryDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* library = reinterpret_cast<LibraryDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        library = reinterpret_cast<LibraryDialog*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        library->dialog = dialog;
        library->openDialog = dialog;
        library->OnInitDialog();
        return FALSE; // the focus is set: on the list
    case WM_COMMAND:
        if (library == nullptr)
            return FALSE;
        switch (LOWORD(wParam)) {
        case IDOK: // Enter on the list
        case IDC_LIBRARY_LOAD:
            library->OnLoad();
            return TRUE;
        case IDC_LIBRARY_SAVE:
            library->OnSave();
            return TRUE;
        case IDC_LIBRARY_IMPORT:
            library->OnImport();
            return TRUE;
        case IDC_LIBRARY_RENAME:
            library->OnRename();
            return TRUE;
        case IDC_LIBRARY_DELETE:
            library->OnDelete();
            return TRUE;
        case IDC_LIBRARY_FOLDER:
            library->OnOpenFolder();
            return TRUE;
        case IDCANCEL:
        case IDC_LIBRARY_CLOSE:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
        }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (library == nullptr || header->idFrom != IDC_LIBRARY_LIST)
            return FALSE;
        if (header->code == NM_DBLCLK) {
            library->OnLoad();
            return TRUE;
        }
        if (header->code == LVN_ITEMCHANGED) {
            library->EnableButtons();
            return TRUE;
        }
        if (header->code == LVN_KEYDOWN) {
            // The keys Explorer gives its files: Delete and F2.
            const WORD key = reinterpret_cast<const NMLVKEYDOWN*>(lParam)->wVKey;
            if (key == VK_DELETE)
                library->OnDelete();
            else if (key == VK_F2)
                library->OnRename();
            return TRUE;
        }
        return FALSE;
    }
    case WM_DESTROY:
        ReleaseDialogFont(dialog);
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

bool AskProfileName(HWND owner, const TextSettings& texts, std::wstring& name) {
    NameDialog asked{texts, name};
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_LIBRARY_NAME), owner,
                           NameDialogProc, reinterpret_cast<LPARAM>(&asked)) == IDOK;
}

void RunLibraryDialog(HWND owner, const DeskServices& desk, const std::function<void()>& loaded,
                      HWND& openDialog) {
    if (openDialog != nullptr) {
        SetForegroundWindow(openDialog);
        return;
    }
    LibraryDialog library{desk, loaded, openDialog, nullptr, {}, {}};
    DialogBoxParamW(desk.instance, MAKEINTRESOURCEW(IDD_LIBRARY), owner, LibraryDialogProc,
                    reinterpret_cast<LPARAM>(&library));
    openDialog = nullptr;
}
