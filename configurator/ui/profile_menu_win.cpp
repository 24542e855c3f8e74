#include "profile_menu.h"

#include "settings/backup_restore.h"
#include "message_boxes_win.h"
#include "progress_window_win.h"
#include "settings_dialog.h"
#include "tray_icon_win.h"
#include "settings/profile_file.h"
#include "text_rules.h"

#include <commdlg.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <cwchar>

#include <string>

namespace {

constexpr DWORD kPathCapacity = 32768;

// "Mouse profiles (*.tarnprofiles)\0*.tarnprofiles\0\0": the filter's parts are separated by
// terminators, so the string is built with them.
std::wstring FileFilter(const std::wstring& kind, const wchar_t* extension) {
    const std::wstring pattern = std::wstring(L"*") + extension;
    std::wstring filter = kind + L" (" + pattern + L")" + L'\0' + pattern + L'\0';
    filter += L'\0';
    return filter;
}

std::wstring FileFilter(const TextSettings& texts) {
    return FileFilter(texts.LookupDefault(kProfileFilesKey, kDefaultProfileFiles),
                      kProfileFileExtension);
}

OPENFILENAMEW FileDialog(HWND owner, const std::wstring& filter, std::wstring& path,
                         const wchar_t* extension = kProfileFileExtension) {
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = kPathCapacity;
    dialog.lpstrDefExt = extension + 1;
    return dialog;
}

std::wstring Chosen(const std::wstring& path) {
    return std::wstring(path.c_str());
}

// Where users keep their files; empty when the system has none for this user.
std::wstring DocumentsFolder() {
    wchar_t* folder = nullptr;
    std::wstring path;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &folder)))
        path = folder;
    CoTaskMemFree(folder); // also when the call failed
    return path;
}

// "Gaming Mouse settings 2026-12-08.tarnprofiles", today's date as this computer sees it.
std::wstring SuggestedBackupName(const TextSettings& texts) {
    SYSTEMTIME today = {};
    GetLocalTime(&today);
    wchar_t date[16];
    swprintf(date, 16, L"%04u-%02u-%02u", today.wYear, today.wMonth, today.wDay);
    return texts.LookupDefault(kBackupFileNameKey, kDefaultBackupFileName) + L" " + date +
           kProfileFileExtension;
}

} // namespace

std::wstring ChooseProfilesFileToSave(HWND owner, const TextSettings& texts) {
    const std::wstring filter = FileFilter(texts);
    std::wstring path(kPathCapacity, L'\0');
    OPENFILENAMEW dialog = FileDialog(owner, filter, path);
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    return GetSaveFileNameW(&dialog) != FALSE ? Chosen(path) : std::wstring();
}

std::wstring ChooseFileToOpen(HWND owner, const std::wstring& kind, const wchar_t* extension) {
    const std::wstring filter = FileFilter(kind, extension);
    std::wstring path(kPathCapacity, L'\0');
    OPENFILENAMEW dialog = FileDialog(owner, filter, path, extension);
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    return GetOpenFileNameW(&dialog) != FALSE ? Chosen(path) : std::wstring();
}

int ImportWithProgress(HWND owner, const DeskServices& desk, const std::wstring& path,
                       Reporter& report, ChangeCause cause) {
    // The transfer's own copy: the window thread keeps showing the program's header meanwhile.
    HeaderBlock header = desk.headerBlock;
    const int result =
        RunWithProgress(owner, desk.texts, desk.texts.LookupDefault(kWritingKey, kDefaultWriting),
                        [&](TransferProgress& progress) {
                            const ChangeScope change(desk.session, cause);
                            return ImportMemory(desk.session, path, header, report, &progress);
                        });
    desk.headerBlock = header;
    return result;
}

void BackUpProfiles(HWND owner, const DeskServices& desk) {
    const TextSettings& texts = desk.texts;
    if (!desk.session.IsMousePresent()) {
        ShowConnectMouse(texts); // the box Setting shows, before a file is chosen for nothing
        return;
    }
    const std::wstring filter = FileFilter(texts);
    std::wstring path = SuggestedBackupName(texts);
    path.resize(kPathCapacity, L'\0');
    const std::wstring documents = DocumentsFolder();
    OPENFILENAMEW dialog = FileDialog(owner, filter, path);
    dialog.lpstrInitialDir = documents.empty() ? nullptr : documents.c_str();
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (GetSaveFileNameW(&dialog) == FALSE) {
        return; // cancelled
    }
    CapturedReport report(&texts);
    const std::wstring file = Chosen(path);
    const int result =
        RunWithProgress(owner, texts, texts.LookupDefault(kReadingKey, kDefaultReading),
                        [&](TransferProgress& progress) {
                            return ExportMemory(desk.session, file, report, &progress);
                        });
    if (result == kExitStopped) {
        return; // the user's own Cancel: no file was written, nothing to tell
    }
    if (result == kExitDone) {
        Tell(owner, texts, texts.LookupDefault(kBackupDoneKey, kDefaultBackupDone),
             MB_ICONINFORMATION);
    } else {
        Tell(owner, texts,
             texts.LookupDefault(kBackupFailedKey, kDefaultBackupFailed) + L"\n\n" + report.Text(),
             MB_ICONERROR);
    }
}

void RestoreProfiles(HWND owner, const DeskServices& desk, const std::function<void()>& restored,
                     const std::function<void(const std::wstring&)>& tellDone) {
    if (!desk.session.IsMousePresent()) {
        ShowConnectMouse(desk.texts);
        return;
    }
    const std::wstring path =
        ChooseFileToOpen(owner, desk.texts.LookupDefault(kProfileFilesKey, kDefaultProfileFiles),
                         kProfileFileExtension);
    if (!path.empty()) {
        RestoreProfilesFrom(owner, desk, path, restored, tellDone);
    }
}

void RestoreProfilesFrom(HWND owner, const DeskServices& desk, const std::wstring& path,
                         const std::function<void()>& restored,
                         const std::function<void(const std::wstring&)>& tellDone) {
    const TextSettings& texts = desk.texts;
    if (!desk.session.IsMousePresent()) {
        ShowConnectMouse(texts);
        return;
    }
    // A file the import would refuse is told now, not after a confirmation that leads nowhere.
    CapturedReport refusal(&texts);
    if (!CheckImportFile(desk.session, path, refusal)) {
        Tell(owner, texts,
             texts.LookupDefault(kRestoreFailedKey, kDefaultRestoreFailed) + L"\n\n" +
                 refusal.Text(),
             MB_ICONERROR);
        return;
    }
    const std::wstring title = texts.LookupDefault(kTitleKey, kDefaultTitle);
    const std::wstring ask =
        texts.LookupDefault(kRestoreAskKey, kDefaultRestoreAsk) + L"\n\n" + path;
    if (MessageBoxW(owner, ask.c_str(), title.c_str(),
                    MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES) {
        return;
    }
    CapturedReport report(&texts);
    const int result = ImportWithProgress(owner, desk, path, report, ChangeCause::Import);
    // An open dialog still shows the profile from before; an Apply from it would write that
    // back over what was just restored.
    restored();
    if (result == kExitStopped) {
        return; // stopped before its first block: the mouse is as it was
    }
    if (result == kExitDone) {
        tellDone(texts.LookupDefault(kRestoreDoneKey, kDefaultRestoreDone));
    } else {
        Tell(owner, texts,
             texts.LookupDefault(kRestoreFailedKey, kDefaultRestoreFailed) + L"\n\n" +
                 report.Text(),
             MB_ICONERROR);
    }
}

void LoadProfileInto(HWND owner, const DeskServices& desk, const std::wstring& path, int slot,
                     const std::function<void()>& loaded,
                     const std::function<void(const std::wstring&)>& tellDone) {
    const TextSettings& texts = desk.texts;
    if (!desk.session.IsMousePresent()) {
        ShowConnectMouse(texts);
        return;
    }
    CapturedReport report(&texts);
    // The transfer's own copy, as a restore's: the window thread keeps showing the program's.
    HeaderBlock header = desk.headerBlock;
    int result = kExitDone;
    {
        const TransferUnderWay underWay(desk.transfersUnderWay);
        result = RunWithProgress(owner, texts, texts.LookupDefault(kWritingKey, kDefaultWriting),
                                 [&](TransferProgress& progress) {
                                     return LoadLibraryProfile(desk.session, path, slot, header,
                                                               report, &progress);
                                 });
    }
    desk.headerBlock = header;
    loaded();
    if (result == kExitStopped) {
        return;
    }
    const std::wstring number = std::to_wstring(slot + 1);
    if (result == kExitDone) {
        tellDone(FillPattern(texts.LookupDefault(kLoadDoneKey, kDefaultLoadDone), {number}));
    } else {
        Tell(owner, texts,
             FillPattern(texts.LookupDefault(kLoadFailedKey, kDefaultLoadFailed), {number}) +
                 L"\n\n" + report.Text(),
             MB_ICONERROR);
    }
}
