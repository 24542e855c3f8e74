// The command line's history commands: /history, /restore N, /diff FILE.
#pragma once

#include "command_line.h"

#include <optional>
#include <string>
#include <vector>

// The command for `option` (without its "/" or "--", in lower case) when it is one of the
// history's; nothing otherwise.
std::optional<Command> ParseHistoryCommand(const std::wstring& option,
                                           const std::vector<std::wstring>& arguments);
std::wstring HistoryUsageText();

// Runs History, RestoreSnapshot or Diff; the exit code. Windows only.
int RunHistoryCommand(MouseSession& session, const Command& command, Reporter& output);
