// The tray's "Copy diagnostics" and the notice of a crash dump.
#pragma once

#include "mouse/mouse_session.h"
#include "settings/text_files.h"

#include <windows.h>

// Puts the report on the clipboard and says so; false when the clipboard refused it.
bool CopyDiagnostics(HWND owner, MouseSession& session, const TextSettings& texts);
// Says once, in a balloon of the tray icon `iconId` of `window`, where the dump of a crash of
// TarnDesk or TarnWake since their last start lies; true when it showed one.
bool ShowCrashNotices(HWND window, UINT iconId, const TextSettings& texts);
