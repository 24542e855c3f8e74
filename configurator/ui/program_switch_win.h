// Program profiles at run time: a foreground hook (out of context, so it costs nothing while
// the foreground stays), a one-shot settle timer and one select through the transfer lock.
#pragma once

#include "program_rules.h"

#include <windows.h>

// Owned by program_switch_win.cpp: the rules in force. Written by StartProgramSwitching
// (loaded at start-up) and ApplyProgramRules (the Program Profiles dialog's OK) only.
extern ProgramRuleSettings programRules;

// Start-up: loads the rules and, when the feature is on, watches the foreground.
void StartProgramSwitching();
// Puts new rules in force (the dialog's OK): the hook follows the switch, and the program in
// front is decided afresh once the foreground settles.
void ApplyProgramRules(const ProgramRuleSettings& settings);
// Decides afresh for the program in front, after the settle delay (a mouse that arrived).
void ReconsiderProgramInFront();
// Removes the hook and the timer (the program ends).
void StopProgramSwitching();
// The image path of the process of `window`; empty when the process cannot be asked.
std::wstring WindowProgramPath(HWND window);
