// Rules of the display-text and local settings files that both tray programs follow: where
// the files lie, how the language code is taken from the registry, how texts are cut to the
// fields that show them and how the agent's exit item is formatted. Windows-free on purpose:
// TarnAgent compiles text_rules.cpp into its own program, so nothing here touches the
// configurator's globals.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

// Sizes follow one rule across the suite: a Length counts bytes, a Count counts elements
// (here characters).

// String values are read into 255 characters, so at most 254 are used.
inline constexpr size_t kTextBufferCount = 255;
// Field widths in characters, terminator included (NOTIFYICONDATAW, menu item).
inline constexpr size_t kTipFieldCount = 128;
inline constexpr size_t kBalloonTitleFieldCount = 64;
inline constexpr size_t kBalloonTextFieldCount = 256;
inline constexpr size_t kExitItemFieldCount = 256;

// Registry value "language": read with a byte limit of 255; the longest code that fits is
// 127 characters, stored without a terminator (126 with one).
inline constexpr uint32_t kLanguageValueByteLimit = 255;
inline constexpr size_t kLanguageCodeMaxCount = 127;
inline constexpr wchar_t kLanguageValueName[] = L"language";
inline constexpr wchar_t kDeskDefaultLanguage[] = L"0409";

inline constexpr wchar_t kLanguageFolder[] = L"Language\\";
inline constexpr wchar_t kLanguageFileExtension[] = L".txt";
inline constexpr wchar_t kPrefsFileName[] = L"TarnPrefs.txt";
inline constexpr wchar_t kPrefsSection[] = L"MouseSetting";

// TarnDesk's default-form and integer keys.
inline constexpr wchar_t kFontSizeKey[] = L"FontSize";
inline constexpr int32_t kDefaultFontSize = 8;
// Larger than any point size a dialog can use; such a value is a corrupt file, not a choice.
inline constexpr int32_t kLargestFontSize = 72;
inline constexpr wchar_t kTitleKey[] = L"Title";
inline constexpr wchar_t kDefaultTitle[] = L"Mouse";
inline constexpr wchar_t kWriteFailedKey[] = L"WriteFailed";
inline constexpr wchar_t kDefaultWriteFailed[] =
    L"The settings did not reach the mouse. Check that it is connected, then try again.";

// TarnAgent's default-form keys, its settings-file keys and their built-in texts.
inline constexpr wchar_t kAgentMouseKey[] = L"Mouse";
inline constexpr wchar_t kAgentDefaultMouse[] = L"Mouse";
inline constexpr wchar_t kAgentBatteryLowKey[] = L"BatteryLow";
inline constexpr wchar_t kAgentDefaultBatteryLow[] = L"Battery Low";
inline constexpr wchar_t kAgentOpenCplKey[] = L"OpenCPL";
inline constexpr wchar_t kAgentDefaultOpenCpl[] = L"Open Mouse Control Panel";
inline constexpr wchar_t kAgentExitKey[] = L"Exit";
inline constexpr wchar_t kAgentDefaultExit[] = L"Close %s";
inline constexpr wchar_t kAppNameKey[] = L"AppName";
inline constexpr wchar_t kDefaultAppName[] = L"Scroll Mouse";

// Built-in names of the eleven button functions, looked up under "Func0".."Func10".
inline constexpr int kFunctionNameCount = 11;
inline constexpr const wchar_t* kFunctionNames[kFunctionNameCount] = {
    L"Button OFF",   L"Left Click", L"Right Click", L"Middle Click", L"Button 4",       L"Button 5",
    L"Double Click", L"Single Key", L"Macro Key",   L"String Key",   L"Select Profile",
};

// "Func%d".
std::wstring FunctionKey(int function);
// A control's or menu command's key: its id in decimal.
std::wstring OverrideKey(int id);

// The module file name, however long: `query` behaves like GetModuleFileNameW (characters
// copied without the terminator; the full buffer size when the name was cut; 0 on failure).
// Paths of 100 characters and more are supported: the buffer grows until the name fits.
std::optional<std::wstring>
ReadModulePath(const std::function<uint32_t(wchar_t*, uint32_t)>& query);

// The module path cut after its last backslash, which stays. A name without any backslash
// has no directory part, so the files are looked for in the current directory.
std::wstring ProgramDirectory(std::wstring_view modulePath);
// "%sLanguage\%s.txt" with the program directory and the language code.
std::wstring LanguageFilePath(std::wstring_view directory, std::wstring_view code);
// "%sTarnPrefs.txt".
std::wstring PrefsFilePath(std::wstring_view directory);

// The language code held by a raw registry value (type, bytes as read). A string value
// (REG_SZ or REG_EXPAND_SZ) of at most 255 bytes counts, with or without its terminator
// (RegistryStringValue); anything else is absent (nullopt) and the caller keeps its default.
std::optional<std::wstring> LanguageCodeFromValue(uint32_t type, const uint8_t* data,
                                                  size_t length);

// The text as a field of `fieldCount` characters (terminator included) shows it: cut to
// fieldCount - 1 characters, never between the two halves of a surrogate pair.
std::wstring CutToField(std::wstring_view text, size_t fieldCount);

// The dialogs' point size from "FontSize" as GetPrivateProfileIntW returns it (negative
// numbers wrap): a value outside 0..kLargestFontSize gives the default.
int32_t DialogFontSizeOf(uint32_t value);

// A looked-up text or, when the lookup gave no character, the built-in one.
std::wstring TextOrDefault(std::wstring_view lookedUp, std::wstring_view builtIn);

// The agent's exit item: the "Exit" translation used as a pattern whose first "%s" receives
// the application name. Every other "%" is taken literally, so a translation holding more
// conversions can never read or write beyond its arguments. Cut to the menu item's field.
std::wstring FormatExitItem(std::wstring_view pattern, std::wstring_view appName);

// A translated message: each "%s" of `pattern` in turn receives the next of `values`. A "%s"
// beyond the values and every other "%" stay as written, and a value is never scanned, so a
// faulty translation shows a stray "%s" but never reads past what it was given.
std::wstring FillPattern(std::wstring_view pattern,
                         std::initializer_list<std::wstring_view> values);

// A message in the user's language: the text of `key`, `builtIn` when there is none.
using TextLookup = std::function<std::wstring(const wchar_t* key, const wchar_t* builtIn)>;
// The lookup without a language file: every text is the built-in one.
std::wstring BuiltInText(const wchar_t* key, const wchar_t* builtIn);

// TarnAgent's paths, built once at start-up from its module path and language code.
struct AgentTextPaths {
    std::wstring directory;
    std::wstring languageFile;
};
AgentTextPaths BuildAgentTextPaths(std::wstring_view modulePath, std::wstring_view code);
