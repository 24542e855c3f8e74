// TarnDesk's display texts: the language settings read once at start-up and the two forms
// of text lookup in the language file "%sLanguage\%s.txt", section = language code.
#pragma once

#include "text_rules.h"

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>

// Owned here; written by LoadTextSettings only, at start-up.
// Point size of the dialogs' control font; stays 0 when the module path is unknown.
extern int32_t dialogFontSize;
// The language code ("0409" unless the registry value "language" names another).
extern std::wstring languageCode;
// Empty when the module path could not be obtained: every lookup then fails.
extern std::wstring languageFilePath;

// Reads "language", derives the program directory and the language file path, reads
// "FontSize". False when the module path cannot be obtained.
bool LoadTextSettings();

// The value of `key` (at most 254 characters); empty when the file, section or key is
// missing or the value is empty.
std::wstring LookupText(const wchar_t* key);

// Override form: the text of a control or menu command id; empty when the resource text
// should stay.
std::wstring LookupOverride(int id);
// Replace a dialog item's text, a window's caption or a menu item's text when the override
// yields at least one character. True when replaced.
bool OverrideDialogItemText(HWND dialog, int id);
bool OverrideWindowText(HWND window, int id);
bool OverrideMenuItemText(HMENU menu, int id);
// Overrides each listed control of a dialog: every dialog lists the controls the language
// file translates in one array and hands it here.
void OverrideDialogItemTexts(HWND dialog, std::span<const int> ids);

// Default form: the value of `key`, or `builtIn` when it yields no character.
std::wstring LookupDefault(const wchar_t* key, const wchar_t* builtIn);
// The display name of button function 0..10 from "Func%d". The built-in name applies only
// when the key is absent: a key present with an empty value gives an empty name.
std::wstring LookupFunctionName(int function);
