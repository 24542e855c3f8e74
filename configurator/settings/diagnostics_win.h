// TarnDesk's diagnostics on the real system: the report (TarnDesk /diagnostics and the tray's
// "Copy diagnostics"), the errors it records for it, and the notice of a crash dump.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// The report as FormatDiagnostics writes it, from the installation, registry and mouse.
std::wstring DiagnosticsReport();
// Puts the report on the clipboard and says so; false when the clipboard refused it.
bool CopyDiagnostics(HWND owner);
// Adds "<time> <what>" to the recorded errors; `what` must name no file or folder.
void RecordDeskError(std::wstring_view what);
// Says once, in a balloon of the tray icon `iconId` of `window`, where the dump of a crash of
// TarnDesk or TarnWake since their last start lies.
void ShowCrashNotices(HWND window, UINT iconId);
