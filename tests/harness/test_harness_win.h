// Helpers every Windows test tier shares: where the running test program lies, and a message
// pump that keeps the test's own windows, timers and hooks served while it waits.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "handle_owners_win.h"

// The folder of the running program, with its trailing backslash (build/<flavour>/tests for
// the test programs).
std::wstring TestProgramDirectory();
// A file beside the running program.
std::wstring BesideTests(const wchar_t* fileName);

// The codes of the language files in `folder` (with its trailing backslash): "0409" for
// 0409.txt.
std::vector<std::wstring> LanguageCodesIn(const std::wstring& folder);

// Milliseconds on the performance counter, for waits and figures that need better than the
// tick count.
double NowMs();

// Starts a process without standard handles (so it cannot hold the test runner's output
// open), in `workingDir` and on the named desktop when given. Null when it did not start.
UniqueHandle RunDetached(const std::wstring& commandLine, const wchar_t* desktopName = nullptr,
                         const wchar_t* workingDir = nullptr, DWORD* processId = nullptr);

// Translates and dispatches every message for `milliseconds`, waiting at most `stepMs` at a
// time for more; one pass is made even for 0.
void PumpMessagesFor(DWORD milliseconds, DWORD stepMs = 5);
// Pumps as above until `done` is true (true) or `timeoutMs` passed first (false).
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000, DWORD stepMs = 10);
