// The History dialog: the snapshots newest first with what each would change in the mouse;
// Restore writes one back through the verified import, Export saves it as a file.
#include "history_dialog_win.h"

#include "dialog_drawing.h"
#include "message_boxes_win.h"
#include "profile_menu.h"
#include "resources/history_dialog_res.h"
#include "settings/backup_restore.h"
#include "settings/history.h"
#include "settings/profile_file.h"
#include "tray_messages.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <iterator>
#include <vector>

namespace {

constexpr int kTranslatedControls[] = {IDC_HISTORY_RESTORE, IDC_HISTORY_EXPORT, IDC_HISTORY_CLOSE};

struct HistoryDialog {
    const DeskServices& desk;
    const std::function<void()>& restored;
    HWND dialog = nullptr;
    std::vector<SnapshotEntry> entries;

    HWND List() const { return GetDlgItem(dialog, IDC_HISTORY_LIST); }
    std::wstring Text(const wchar_t* key, const wchar_t* builtIn) const {
        return desk.texts.LookupDefault(key, builtIn);
    }
    TextLookup Lookup() const {
        return [this](const wchar_t* key, const wchar_t* builtIn) { return Text(key, builtIn); };
    }

    // What writing the snapshot back would change, in the Settings dialog's words.
    std::wstring ChangeText(const SnapshotEntry& entry, const MemoryImage* mouse,
                            const FunctionNames& names) const {
        if (entry.damaged)
            return desk.texts.LookupDefault(L"HistoryDamaged", L"damaged, cannot be restored") +
                   L": " + entry.problem;
        if (mouse == nullptr)
            return {};
        const std::vector<std::wstring> lines =
            DescribeChanges(*mouse, entry.image, names, Lookup());
        if (lines.empty())
            return Text(kSameAsMouseKey, L"same as the mouse");
        std::wstring text;
        for (const std::wstring& line : lines)
            text += (text.empty() ? L"" : L" | ") + line;
        return text;
    }

    void Fill(size_t selected) {
        HWND list = List();
        ListView_DeleteAllItems(list);
        entries = ListSnapshots(desk.session);
        // The cache stands for the mouse: the tray re-reads it at every arrival.
        MemoryImage mouse{};
        const bool known = desk.transfersUnderWay == 0 && CurrentMemory(desk.session, mouse);
        FunctionNames names;
        for (int f = 0; f < kFunctionCount; ++f)
            names[size_t(f)] = desk.texts.LookupFunctionName(f);
        for (size_t i = 0; i < entries.size(); ++i) {
            std::wstring time = LocalTimeText(entries[i].name.time);
            std::wstring cause = ReasonText(entries[i].name.reason, Lookup());
            std::wstring change = ChangeText(entries[i], known ? &mouse : nullptr, names);
            LVITEMW item = {};
            item.mask = LVIF_TEXT;
            item.iItem = static_cast<int>(i);
            item.pszText = time.data();
            ListView_InsertItem(list, &item);
            ListView_SetItemText(list, static_cast<int>(i), 1, cause.data());
            ListView_SetItemText(list, static_cast<int>(i), 2, change.data());
        }
        if (!entries.empty()) {
            const int item = static_cast<int>(selected < entries.size() ? selected : 0);
            ListView_SetItemState(list, item, LVIS_SELECTED | LVIS_FOCUSED,
                                  LVIS_SELECTED | LVIS_FOCUSED);
            ListView_EnsureVisible(list, item, FALSE);
        }
        EnableWindow(GetDlgItem(dialog, IDC_HISTORY_RESTORE), entries.empty() ? FALSE : TRUE);
        EnableWindow(GetDlgItem(dialog, IDC_HISTORY_EXPORT), entries.empty() ? FALSE : TRUE);
    }

    const SnapshotEntry* Selected() const {
        const int item = ListView_GetNextItem(List(), -1, LVNI_SELECTED);
        return item >= 0 && size_t(item) < entries.size() ? &entries[size_t(item)] : nullptr;
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
        desk.texts.OverrideWindowText(dialog, IDD_HISTORY);
        desk.texts.OverrideDialogItemTexts(dialog, kTranslatedControls);
        ListView_SetExtendedListViewStyle(List(), LVS_EX_FULLROWSELECT);
        RECT area = {};
        GetClientRect(List(), &area);
        const int timeWidth = area.right * 28 / 100;
        const int causeWidth = area.right * 22 / 100;
        AddColumn(0, desk.texts.LookupDefault(L"HistoryTime", L"Time"), timeWidth);
        AddColumn(1, desk.texts.LookupDefault(L"HistoryCause", L"Cause"), causeWidth);
        AddColumn(2, desk.texts.LookupDefault(L"HistoryDiffers", L"What a restore changes"),
                  area.right - timeWidth - causeWidth);
        Fill(0);
        SetFocus(List());
    }

    // A damaged snapshot is told, never restored or exported.
    bool RefusedAsDamaged(const SnapshotEntry& entry) const {
        if (!entry.damaged)
            return false;
        Tell(dialog, desk.texts,
             desk.texts.LookupDefault(L"HistoryDamaged", L"damaged, cannot be restored") + L":\n" +
                 entry.problem,
             MB_ICONERROR);
        return true;
    }

    void OnRestore() {
        const SnapshotEntry* entry = Selected();
        if (entry == nullptr || desk.transfersUnderWay > 0)
            return;
        if (RefusedAsDamaged(*entry))
            return;
        const std::wstring ask =
            desk.texts.LookupDefault(L"HistoryRestoreAsk",
                                     L"Write these settings into the mouse? What it holds now "
                                     L"is kept in the history first.") +
            L"\n\n" + LocalTimeText(entry->name.time) + L"  " +
            ReasonText(entry->name.reason, Lookup());
        if (MessageBoxW(dialog, ask.c_str(), Text(kTitleKey, kDefaultTitle).c_str(),
                        MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
            return;
        CapturedReport report(&desk.texts);
        int result = kExitDone;
        {
            const TransferUnderWay underWay(desk.transfersUnderWay);
            result = ImportWithProgress(dialog, desk, entry->path, report, ChangeCause::Restore);
        }
        restored();
        if (result == kExitStopped) {
            return;
        }
        if (result == kExitDone) {
            Tell(dialog, desk.texts, Text(kRestoreDoneKey, kDefaultRestoreDone),
                 MB_ICONINFORMATION);
        } else {
            Tell(dialog, desk.texts,
                 Text(kRestoreFailedKey, kDefaultRestoreFailed) + L"\n\n" + report.Text(),
                 MB_ICONERROR);
        }
        Fill(0);
    }

    void OnExport() {
        const SnapshotEntry* entry = Selected();
        if (entry == nullptr)
            return;
        if (RefusedAsDamaged(*entry))
            return;
        const std::wstring target = ChooseProfilesFileToSave(dialog, desk.texts);
        if (target.empty())
            return;
        // Copied beside the target and renamed over it, as an export is written.
        const std::wstring temporary = target + L".tmp" + std::to_wstring(GetCurrentProcessId());
        const bool saved = CopyFileW(entry->path.c_str(), temporary.c_str(), FALSE) != FALSE &&
                           MoveFileExW(temporary.c_str(), target.c_str(),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
        if (!saved)
            DeleteFileW(temporary.c_str());
        Tell(dialog, desk.texts,
             saved ? Text(kBackupDoneKey, kDefaultBackupDone)
                   : Text(kBackupFailedKey, kDefaultBackupFailed),
             saved ? MB_ICONINFORMATION : MB_ICONERROR);
    }
};

INT_PTR CALLBACK HistoryDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* history = reinterpret_cast<HistoryDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        history = reinterpret_cast<HistoryDialog*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        history->dialog = dialog;
        history->OnInitDialog();
        return FALSE; // the focus is set: on the list
    case WM_COMMAND:
        if (history == nullptr)
            return FALSE;
        switch (LOWORD(wParam)) {
        case IDOK: // Enter on the list
        case IDC_HISTORY_RESTORE:
            history->OnRestore();
            return TRUE;
        case IDC_HISTORY_EXPORT:
            history->OnExport();
            return TRUE;
        case IDCANCEL:
        case IDC_HISTORY_CLOSE:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
        }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (history != nullptr && header->idFrom == IDC_HISTORY_LIST && header->code == NM_DBLCLK) {
            history->OnRestore();
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

void ShowHistoryKeepFailed(HWND owner, const TextSettings& texts, const std::wstring& problem) {
    Tell(owner, texts,
         texts.LookupDefault(kHistoryKeepFailedKey, kDefaultHistoryKeepFailed) + L"\n\n" + problem,
         MB_ICONERROR);
}

void RunHistoryDialog(HWND owner, const DeskServices& desk, const std::function<void()>& restored) {
    HistoryDialog history{desk, restored, nullptr, {}};
    DialogBoxParamW(desk.instance, MAKEINTRESOURCEW(IDD_HISTORY), owner, HistoryDialogProc,
                    reinterpret_cast<LPARAM>(&history));
}
