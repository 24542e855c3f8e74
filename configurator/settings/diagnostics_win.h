// TarnDesk's diagnostics on the real system: the report (TarnDesk /diagnostics and the tray's
// "Copy diagnostics"), the errors it records for it, and the crash dumps left since the last
// start.
#pragma once

#include "mouse/mouse_session.h"
#include "text_files.h"

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The report as FormatDiagnostics writes it, from the installation, registry and mouse.
std::wstring DiagnosticsReport(MouseSession& session, const TextSettings& texts);
// Adds "<time> <what>" to the recorded errors; `what` must name no file or folder.
void RecordDeskError(std::wstring_view what);
// The crash dumps of TarnDesk and TarnWake since their last start (program, dump path), each
// taken once and recorded among the errors.
std::vector<std::pair<std::wstring, std::wstring>> TakeCrashNotices();
