// Registry glue of the program rules.
#include "program_rules.h"

#include "handle_owners_win.h"
#include "profile_cache.h"

#include <windows.h>

namespace {

std::optional<uint32_t> ReadNumber(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(value)) {
        return std::nullopt;
    }
    return value;
}

bool WriteNumber(HKEY key, const wchar_t* name, uint32_t number) {
    const DWORD value = number;
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value)) == ERROR_SUCCESS;
}

std::vector<StoredValue> ReadRuleValues() {
    std::vector<StoredValue> values;
    UniqueKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kProgramRulesKeyPath, 0, KEY_QUERY_VALUE, key.Put()) !=
        ERROR_SUCCESS) {
        return values;
    }
    DWORD count = 0;
    DWORD longestName = 0;
    DWORD longestData = 0;
    if (RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                         &longestName, &longestData, nullptr, nullptr) != ERROR_SUCCESS) {
        return values;
    }
    std::wstring name(longestName + 1, L'\0');
    std::vector<uint8_t> data(longestData + 1);
    for (DWORD index = 0; index < count; ++index) {
        DWORD nameCount = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        const LONG status = RegEnumValueW(key.Get(), index, name.data(), &nameCount, nullptr, &type,
                                          data.data(), &dataSize);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        StoredValue value;
        if (status == ERROR_SUCCESS) {
            value.name.assign(name.data(), nameCount);
            value.type = type;
            value.data.assign(data.begin(), data.begin() + dataSize);
        } else {
            value.type = REG_NONE; // changed under us or too large: counted as skipped
        }
        values.push_back(std::move(value));
    }
    return values;
}

} // namespace

ProgramRuleSettings LoadProgramRuleSettings() {
    ProgramRuleSettings settings;
    UniqueKey base;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_QUERY_VALUE, base.Put()) ==
        ERROR_SUCCESS) {
        settings.on = ReadNumber(base.Get(), kProgramSwitchingValueName) == 1u;
        settings.desktopProfile =
            DesktopProfileFromValue(ReadNumber(base.Get(), kDesktopProfileValueName).value_or(0));
    }
    ParseRuleValues(ReadRuleValues(), &settings);
    return settings;
}

bool StoreProgramRuleSettings(const ProgramRuleSettings& settings) {
    UniqueKey base;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, base.Put(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    bool stored = WriteNumber(base.Get(), kProgramSwitchingValueName, settings.on ? 1 : 0);
    stored = WriteNumber(base.Get(), kDesktopProfileValueName,
                         DesktopProfileValue(settings.desktopProfile)) &&
             stored;
    // The key holds nothing but rules, so the list is written afresh.
    const LONG deleted = RegDeleteKeyW(base.Get(), kProgramRulesKeyName);
    if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) {
        return false;
    }
    UniqueKey rules;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kProgramRulesKeyPath, 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, rules.Put(),
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    for (const ProgramRule& rule : settings.rules) {
        const std::array<uint8_t, 4> data = RuleValueData(rule);
        stored = RegSetValueExW(rules.Get(), rule.program.c_str(), 0, REG_DWORD, data.data(),
                                static_cast<DWORD>(data.size())) == ERROR_SUCCESS &&
                 stored;
    }
    return stored;
}
