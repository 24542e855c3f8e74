// TarnDesk's display texts: the language settings read once at start-up and the two forms
// of text lookup in the language file "%sLanguage\%s.txt", section = language code.
#pragma once

#include "text_rules.h"

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>

// The one wording for "no mouse": the tray, its dialogs and the command line all say it.
inline constexpr wchar_t kConnectMouseKey[] = L"ConnectMouse";
inline constexpr wchar_t kConnectMouseText[] =
    L"Please connect your mouse to an available USB port!";

class TextSettings {
  public:
    // Reads "language", derives the program directory and the language file path, reads
    // "FontSize". False when the module path cannot be obtained.
    bool Load();

    // The value of `key` (at most 254 characters); empty when the file, section or key is
    // missing or the value is empty.
    std::wstring Lookup(const wchar_t* key) const;
    // Override form: the text of a control or menu command id; empty when the resource text
    // should stay.
    std::wstring LookupOverride(int id) const;
    // Default form: the value of `key`, or `builtIn` when it yields no character.
    std::wstring LookupDefault(const wchar_t* key, const wchar_t* builtIn) const;
    // The display name of button function 0..10 from "Func%d". The built-in name applies only
    // when the key is absent: a key present with an empty value gives an empty name.
    std::wstring LookupFunctionName(int function) const;

    // Replace a dialog item's text, a window's caption or a menu item's text when the override
    // yields at least one character. True when replaced.
    bool OverrideDialogItemText(HWND dialog, int id) const;
    bool OverrideWindowText(HWND window, int id) const;
    bool OverrideMenuItemText(HMENU menu, int id) const;
    // Overrides each listed control of a dialog: every dialog lists the controls the language
    // file translates in one array and hands it here.
    void OverrideDialogItemTexts(HWND dialog, std::span<const int> ids) const;

    // Point size of the dialogs' control font; stays 0 when the module path is unknown.
    int32_t dialogFontSize = 0;
    // The language code ("0409" unless the registry value "language" names another).
    std::wstring languageCode = kDeskDefaultLanguage;
    // Empty when the module path could not be obtained: every lookup then fails.
    std::wstring languageFilePath;

  private:
    std::wstring ReadString(const wchar_t* key, const wchar_t* fallback) const;
};
