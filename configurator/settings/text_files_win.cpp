// Language settings and lookups of TarnDesk on the real registry and initialization files.
#include "text_files.h"

#include "handle_owners_win.h"
#include "profile_cache.h"

#include <optional>

namespace {

// The code the registry value names; nothing when it is absent or no code.
std::optional<std::wstring> ReadLanguageCode() {
    UniqueKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, key.Put(), nullptr) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    uint8_t value[kLanguageValueByteLimit + 1] = {};
    DWORD type = REG_NONE;
    DWORD size = kLanguageValueByteLimit;
    if (RegQueryValueExW(key.Get(), kLanguageValueName, nullptr, &type, value, &size) ==
            ERROR_SUCCESS &&
        size <= kLanguageValueByteLimit) {
        return LanguageCodeFromValue(type, value, size);
    }
    return std::nullopt;
}

} // namespace

// The value of `key` with `fallback` as the lookup's own default.
std::wstring TextSettings::ReadString(const wchar_t* key, const wchar_t* fallback) const {
    if (languageFilePath.empty()) {
        return fallback;
    }
    wchar_t text[kTextBufferCount] = {};
    const DWORD copied =
        GetPrivateProfileStringW(languageCode.c_str(), key, fallback, text,
                                 static_cast<DWORD>(kTextBufferCount), languageFilePath.c_str());
    return std::wstring(text, copied < kTextBufferCount ? copied : kTextBufferCount - 1);
}

bool TextSettings::Load() {
    if (const std::optional<std::wstring> code = ReadLanguageCode()) {
        languageCode = *code;
    }
    const auto modulePath = ReadModulePath([](wchar_t* buffer, uint32_t size) {
        return static_cast<uint32_t>(GetModuleFileNameW(nullptr, buffer, size));
    });
    if (!modulePath) {
        return false;
    }
    languageFilePath = LanguageFilePath(ProgramDirectory(*modulePath), languageCode);
    dialogFontSize = DialogFontSizeOf(GetPrivateProfileIntW(
        languageCode.c_str(), kFontSizeKey, kDefaultFontSize, languageFilePath.c_str()));
    return true;
}

std::wstring TextSettings::Lookup(const wchar_t* key) const {
    return ReadString(key, L"");
}

std::wstring TextSettings::LookupOverride(int id) const {
    return Lookup(OverrideKey(id).c_str());
}

bool TextSettings::OverrideDialogItemText(HWND dialog, int id) const {
    const std::wstring text = LookupOverride(id);
    return !text.empty() && SetDlgItemTextW(dialog, id, text.c_str());
}

void TextSettings::OverrideDialogItemTexts(HWND dialog, std::span<const int> ids) const {
    for (const int id : ids) {
        OverrideDialogItemText(dialog, id);
    }
}

bool TextSettings::OverrideWindowText(HWND window, int id) const {
    const std::wstring text = LookupOverride(id);
    return !text.empty() && SetWindowTextW(window, text.c_str());
}

bool TextSettings::OverrideMenuItemText(HMENU menu, int id) const {
    const std::wstring text = LookupOverride(id);
    return !text.empty() && ModifyMenuW(menu, static_cast<UINT>(id), MF_BYCOMMAND | MF_STRING,
                                        static_cast<UINT_PTR>(id), text.c_str());
}

std::wstring TextSettings::LookupDefault(const wchar_t* key, const wchar_t* builtIn) const {
    return TextOrDefault(Lookup(key), builtIn);
}

std::wstring TextSettings::LookupFunctionName(int function) const {
    if (function < 0 || function >= kFunctionNameCount) {
        return {};
    }
    return ReadString(FunctionKey(function).c_str(), kFunctionNames[function]);
}
