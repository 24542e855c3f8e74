// Language settings and lookups of TarnDesk on the real registry and initialization files.
#include "text_files.h"

#include "profile_cache.h"

int32_t dialogFontSize = 0;
std::wstring languageCode = kDeskDefaultLanguage;
std::wstring languageFilePath;

namespace {

void ReadLanguageCode() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    uint8_t value[kLanguageValueByteLimit + 1] = {};
    DWORD type = REG_NONE;
    DWORD size = kLanguageValueByteLimit;
    if (RegQueryValueExW(key, kLanguageValueName, nullptr, &type, value, &size) == ERROR_SUCCESS &&
        size <= kLanguageValueByteLimit) {
        if (auto code = LanguageCodeFromValue(type, value, size)) {
            languageCode = *code;
        }
    }
    RegCloseKey(key);
}

// The value of `key` with `fallback` as the lookup's own default.
std::wstring ReadString(const wchar_t* key, const wchar_t* fallback) {
    if (languageFilePath.empty()) {
        return fallback;
    }
    wchar_t text[kTextBufferLength] = {};
    const DWORD copied =
        GetPrivateProfileStringW(languageCode.c_str(), key, fallback, text,
                                 static_cast<DWORD>(kTextBufferLength), languageFilePath.c_str());
    return std::wstring(text, copied < kTextBufferLength ? copied : kTextBufferLength - 1);
}

} // namespace

bool LoadTextSettings() {
    ReadLanguageCode();
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

std::wstring LookupText(const wchar_t* key) {
    return ReadString(key, L"");
}

std::wstring LookupOverride(int id) {
    return LookupText(OverrideKey(id).c_str());
}

bool OverrideDialogItemText(HWND dialog, int id) {
    const std::wstring text = LookupOverride(id);
    return !text.empty() && SetDlgItemTextW(dialog, id, text.c_str());
}

bool OverrideWindowText(HWND window, int id) {
    const std::wstring text = LookupOverride(id);
    return !text.empty() && SetWindowTextW(window, text.c_str());
}

bool OverrideMenuItemText(HMENU menu, int id) {
    const std::wstring text = LookupOverride(id);
    return !text.empty() && ModifyMenuW(menu, static_cast<UINT>(id), MF_BYCOMMAND | MF_STRING,
                                        static_cast<UINT_PTR>(id), text.c_str());
}

std::wstring LookupDefault(const wchar_t* key, const wchar_t* builtIn) {
    return TextOrDefault(LookupText(key), builtIn);
}

std::wstring LookupFunctionName(int function) {
    if (function < 0 || function >= kFunctionNameCount) {
        return {};
    }
    return ReadString(FunctionKey(function).c_str(), kFunctionNames[function]);
}
