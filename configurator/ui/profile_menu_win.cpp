#include "profile_menu.h"

#include "command_line.h"
#include "profile_file.h"
#include "program_profiles_win.h"
#include "settings_dialog.h"
#include "text_files.h"

#include <commdlg.h>

#include <string>

namespace {

constexpr DWORD kPathCapacity = 32768;

// "Mouse profiles (*.tarnprofiles)\0*.tarnprofiles\0\0": the filter's parts are separated by
// terminators, so the string is built with them.
std::wstring FileFilter() {
    const std::wstring pattern = std::wstring(L"*") + kProfileFileExtension;
    std::wstring filter = LookupDefault(kProfileFilesKey, kDefaultProfileFiles) + L" (" + pattern +
                          L")" + L'\0' + pattern + L'\0';
    filter += L'\0';
    return filter;
}

OPENFILENAMEW FileDialog(HWND owner, const std::wstring& filter, std::wstring& path) {
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = kPathCapacity;
    dialog.lpstrDefExt = kProfileFileExtension + 1;
    return dialog;
}

std::wstring Chosen(const std::wstring& path) {
    return std::wstring(path.c_str());
}

void Tell(HWND owner, const std::wstring& text, UINT icon) {
    const std::wstring title = LookupDefault(kTitleKey, kDefaultTitle);
    MessageBoxW(owner, text.c_str(), title.c_str(), icon | MB_OK);
}

} // namespace

void BackUpProfiles(HWND owner) {
    const std::wstring filter = FileFilter();
    std::wstring path(kPathCapacity, L'\0');
    OPENFILENAMEW dialog = FileDialog(owner, filter, path);
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (GetSaveFileNameW(&dialog) == FALSE) {
        return; // cancelled
    }
    std::wstring message;
    if (ExportProfiles(Chosen(path), &message) == kExitDone) {
        Tell(owner, LookupDefault(kBackupDoneKey, kDefaultBackupDone), MB_ICONINFORMATION);
    } else {
        Tell(owner, LookupDefault(kBackupFailedKey, kDefaultBackupFailed) + L"\n\n" + message,
             MB_ICONERROR);
    }
}

void RestoreProfiles(HWND owner) {
    const std::wstring filter = FileFilter();
    std::wstring path(kPathCapacity, L'\0');
    OPENFILENAMEW dialog = FileDialog(owner, filter, path);
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (GetOpenFileNameW(&dialog) == FALSE) {
        return;
    }
    const std::wstring title = LookupDefault(kTitleKey, kDefaultTitle);
    const std::wstring ask =
        LookupDefault(kRestoreAskKey, kDefaultRestoreAsk) + L"\n\n" + Chosen(path);
    if (MessageBoxW(owner, ask.c_str(), title.c_str(),
                    MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES) {
        return;
    }
    std::wstring message;
    const int result = ImportProfiles(Chosen(path), &message);
    // An open dialog still shows the profile from before; an Apply from it would write that
    // back over what was just restored.
    RefreshOpenSettingsDialog();
    if (result == kExitDone) {
        Tell(owner, LookupDefault(kRestoreDoneKey, kDefaultRestoreDone), MB_ICONINFORMATION);
    } else {
        Tell(owner, LookupDefault(kRestoreFailedKey, kDefaultRestoreFailed) + L"\n\n" + message,
             MB_ICONERROR);
    }
}

void EditProgramProfiles(HWND owner) {
    RunProgramProfilesDialog(owner);
}
