// The tray menu's "Back up profiles..." and "Restore profiles...": the system's file dialogs
// around the command line's /export and /import, with their outcome in a message box; and
// "Program profiles...".
#pragma once

#include <windows.h>

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

void BackUpProfiles(HWND owner);
void RestoreProfiles(HWND owner);
// "Program profiles...": the rules binding programs to profiles.
void EditProgramProfiles(HWND owner);
