// A small minidump when a program ends on an unhandled exception, and the notice at its next
// start that says where the dump lies.
#pragma once

#include <string>
#include <vector>

// Installs the process's unhandled-exception filter for `program` ("TarnDesk", ...): it
// writes "<program>-<time>-<pid>.dmp" into the user's local application data (dbghelp from
// system32), keeps the program's newest five dumps and leaves a notice for the next start.
// The folder is worked out here, so the filter itself does little.
void InstallCrashDumps(const wchar_t* program);

// The path of the dump `program` left at its last crash, removing the notice; empty when it
// did not crash since. A program calls it once at its start and shows the path.
std::wstring TakeCrashNotice(const wchar_t* program);

// The folder the dumps go to (no trailing backslash); empty when the user has none.
std::wstring CrashDumpFolder();
// File names of the dumps in that folder, of any of the programs.
std::vector<std::wstring> CrashDumpFiles();
