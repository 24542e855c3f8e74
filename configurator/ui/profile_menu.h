// The tray menu's "Back up profiles..." and "Restore profiles...": the system's file dialogs
// around the backup engine's export and import, with their outcome in a message box.
#pragma once

#include "desk_services.h"
#include "mouse/write_history.h"
#include "settings/backup_restore.h"

#include <windows.h>

#include <functional>

// Language-file keys and built-in texts of the two items' dialogs and messages.
inline constexpr wchar_t kProfileFilesKey[] = L"ProfileFiles";
inline constexpr wchar_t kDefaultProfileFiles[] = L"Mouse profiles";
inline constexpr wchar_t kBackupDoneKey[] = L"BackupDone";
inline constexpr wchar_t kDefaultBackupDone[] = L"The profiles were saved.";
inline constexpr wchar_t kBackupFailedKey[] = L"BackupFailed";
inline constexpr wchar_t kDefaultBackupFailed[] = L"The profiles could not be saved.";
inline constexpr wchar_t kRestoreAskKey[] = L"RestoreAsk";
inline constexpr wchar_t kDefaultRestoreAsk[] =
    L"Write the profiles of this file into the mouse? Its present settings are replaced.";
inline constexpr wchar_t kRestoreDoneKey[] = L"RestoreDone";
inline constexpr wchar_t kDefaultRestoreDone[] =
    L"The profiles were written into the mouse and checked.";
inline constexpr wchar_t kRestoreFailedKey[] = L"RestoreFailed";
inline constexpr wchar_t kDefaultRestoreFailed[] = L"The profiles could not be restored.";
inline constexpr wchar_t kLoadDoneKey[] = L"LibraryLoadDone";
inline constexpr wchar_t kDefaultLoadDone[] =
    L"The profile was written into profile %s of the mouse and checked.";
inline constexpr wchar_t kLoadFailedKey[] = L"LibraryLoadFailed";
inline constexpr wchar_t kDefaultLoadFailed[] = L"The profile could not be loaded into profile %s.";
// The name a backup is offered under, before its date and extension.
inline constexpr wchar_t kBackupFileNameKey[] = L"BackupFileName";
inline constexpr wchar_t kDefaultBackupFileName[] = L"Gaming Mouse settings";

// The import of `path` (checked, written, read back) on a thread of its own behind the
// progress window, as the history's `cause`; the program's header block takes what the import
// made of it. The caller counts the transfer as under way.
int ImportWithProgress(HWND owner, const DeskServices& desk, const std::wstring& path,
                       Reporter& report, ChangeCause cause);

// The system's Open dialog for an existing file of `extension`, named `kind` in its filter,
// owned by `owner`; the chosen path, empty when the user cancelled.
std::wstring ChooseFileToOpen(HWND owner, const std::wstring& kind, const wchar_t* extension);
// The system's Save dialog for a profiles file, owned by `owner`; the chosen path, empty when
// the user cancelled.
std::wstring ChooseProfilesFileToSave(HWND owner, const TextSettings& texts);

// "Back up profiles...": the file dialog (in the user's Documents, a name with today's date),
// the export, its outcome in a message box.
void BackUpProfiles(HWND owner, const DeskServices& desk);
// "Restore profiles...": the file dialog, the file's check, one confirmation, the import (into
// the program's header block too), `restored` (an open Settings dialog shows what is in the
// mouse now), then the outcome: a success through `tellDone` (the tray's balloon), a failure
// in a message box.
void RestoreProfiles(HWND owner, const DeskServices& desk, const std::function<void()>& restored,
                     const std::function<void(const std::wstring&)>& tellDone);
// The same once the file is known (chosen, or opened from the desktop): its check, the
// confirmation, the import and the outcome.
void RestoreProfilesFrom(HWND owner, const DeskServices& desk, const std::wstring& path,
                         const std::function<void()>& restored,
                         const std::function<void(const std::wstring&)>& tellDone);
// The profile file `path` into profile `slot` (0..4), as the user has confirmed: on the progress
// window's thread, after the history's snapshot, read back and compared; the program's header
// block takes what verified; `loaded` runs afterwards (an open Settings dialog shows the mouse
// anew), then the outcome: a success through `tellDone`, a failure in a message box.
void LoadProfileInto(HWND owner, const DeskServices& desk, const std::wstring& path, int slot,
                     const std::function<void()>& loaded,
                     const std::function<void(const std::wstring&)>& tellDone);
