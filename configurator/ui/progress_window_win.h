// A transfer that the user started from the tray (a backup, a restore) runs on a thread of its
// own while a small window tells how far it is and offers Cancel; the window thread keeps
// serving the tray and the other windows meanwhile.
#pragma once

#include "settings/backup_restore.h"
#include "settings/text_files.h"

#include <windows.h>

#include <functional>
#include <string>

inline constexpr wchar_t kProgressWindowClass[] = L"TarnDeskProgress";

// Runs `work` on another thread and returns what it returned, once it ended. `what` says what
// is happening ("Writing into the mouse..."). `work` must not touch windows: it tells through
// the TransferProgress it is given, whose Cancel stops it where it may stop. The caller counts
// the transfer as under way, so nothing else started from the window thread meanwhile
// reaches the mouse; a quit asked for meanwhile waits for the end of the transfer.
int RunWithProgress(HWND owner, const TextSettings& texts, const std::wstring& what,
                    const std::function<int(TransferProgress&)>& work);
