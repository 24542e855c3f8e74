// The Program profiles dialog (resource 104): rules binding programs to onboard profiles,
// the profile for programs without a rule and the feature's switch.
#pragma once

#include "program_switch_win.h"
#include "settings/text_files.h"

#include <windows.h>

// Language-file keys and built-in texts the dialog uses besides its controls' ids.
inline constexpr wchar_t kProgramColumnKey[] = L"ProgramColumn";
inline constexpr wchar_t kDefaultProgramColumn[] = L"Program";
inline constexpr wchar_t kProgramFilesKey[] = L"ProgramFiles";
inline constexpr wchar_t kDefaultProgramFiles[] = L"Programs";
inline constexpr wchar_t kKeepProfileKey[] = L"KeepProfile";
inline constexpr wchar_t kDefaultKeepProfile[] = L"Keep the current profile";
inline constexpr wchar_t kRulesSkippedKey[] = L"RulesSkipped";
inline constexpr wchar_t kDefaultRulesSkipped[] =
    L"Some stored rules could not be read and were skipped.";
inline constexpr wchar_t kRulesFullKey[] = L"RulesFull";
inline constexpr wchar_t kDefaultRulesFull[] = L"At most 64 programs can have a rule.";
inline constexpr wchar_t kRulesNotStoredKey[] = L"RulesNotStored";
inline constexpr wchar_t kDefaultRulesNotStored[] =
    L"The rules could not be saved on this computer. They are in force until TarnDesk ends.";

// Dialog procedure of resource 104. OK stores the rules and puts them in force.
INT_PTR CALLBACK ProgramProfilesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Runs the dialog modally; OK puts the rules in force through `switcher`. `openDialog` is the
// caller's note of the open dialog: a second request while it is open brings it to the front.
void RunProgramProfilesDialog(HWND owner, const TextSettings& texts, ProgramSwitcher& switcher,
                              HWND& openDialog);
