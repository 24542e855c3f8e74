#include "text_rules.h"

#include "registry_string.h"

#include <cwchar>

namespace {

constexpr uint32_t kLongestModulePath = 32768;

bool IsHighSurrogate(wchar_t c) {
    return static_cast<uint32_t>(c) >= 0xD800 && static_cast<uint32_t>(c) <= 0xDBFF;
}

} // namespace

std::wstring FunctionKey(int function) {
    return L"Func" + std::to_wstring(function);
}

std::wstring OverrideKey(int id) {
    return std::to_wstring(id);
}

std::optional<std::wstring>
ReadModulePath(const std::function<uint32_t(wchar_t*, uint32_t)>& query) {
    for (uint32_t size = 128; size <= kLongestModulePath; size *= 2) {
        std::wstring buffer(size, L'\0');
        const uint32_t copied = query(buffer.data(), size);
        if (copied == 0) {
            return std::nullopt;
        }
        if (copied < size) {
            buffer.resize(copied);
            return buffer;
        }
    }
    return std::nullopt;
}

std::wstring ProgramDirectory(std::wstring_view modulePath) {
    const size_t slash = modulePath.rfind(L'\\');
    if (slash == std::wstring_view::npos) {
        return {};
    }
    return std::wstring(modulePath.substr(0, slash + 1));
}

std::wstring LanguageFilePath(std::wstring_view directory, std::wstring_view code) {
    std::wstring path(directory);
    path += kLanguageFolder;
    path += code;
    path += kLanguageFileExtension;
    return path;
}

std::wstring PrefsFilePath(std::wstring_view directory) {
    std::wstring path(directory);
    path += kPrefsFileName;
    return path;
}

std::optional<std::wstring> LanguageCodeFromValue(uint32_t type, const uint8_t* data,
                                                  size_t length) {
    return RegistryStringValue(type, data, length, kLanguageValueByteLimit);
}

std::wstring CutToField(std::wstring_view text, size_t fieldCount) {
    if (fieldCount == 0) {
        return {};
    }
    const size_t nul = text.find(L'\0');
    if (nul != std::wstring_view::npos) {
        text = text.substr(0, nul);
    }
    if (text.size() < fieldCount) {
        return std::wstring(text);
    }
    size_t keep = fieldCount - 1;
    if (keep > 0 && IsHighSurrogate(text[keep - 1])) {
        --keep;
    }
    return std::wstring(text.substr(0, keep));
}

int32_t DialogFontSizeOf(uint32_t value) {
    const auto size = static_cast<int32_t>(value);
    return size >= 0 && size <= kLargestFontSize ? size : kDefaultFontSize;
}

std::wstring TextOrDefault(std::wstring_view lookedUp, std::wstring_view builtIn) {
    return std::wstring(lookedUp.empty() ? builtIn : lookedUp);
}

std::wstring FormatExitItem(std::wstring_view pattern, std::wstring_view appName) {
    std::wstring item;
    bool substituted = false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (!substituted && pattern[i] == L'%' && i + 1 < pattern.size() &&
            pattern[i + 1] == L's') {
            item += appName;
            substituted = true;
            ++i;
            continue;
        }
        item.push_back(pattern[i]);
    }
    return CutToField(item, kExitItemFieldCount);
}

std::wstring FillPattern(std::wstring_view pattern,
                         std::initializer_list<std::wstring_view> values) {
    std::wstring text;
    const std::wstring_view* next = values.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (next != values.end() && pattern[i] == L'%' && i + 1 < pattern.size() &&
            pattern[i + 1] == L's') {
            text += *next++;
            ++i;
            continue;
        }
        text.push_back(pattern[i]);
    }
    return text;
}

std::wstring BuiltInText(const wchar_t*, const wchar_t* builtIn) {
    return builtIn;
}

AgentTextPaths BuildAgentTextPaths(std::wstring_view modulePath, std::wstring_view code) {
    AgentTextPaths paths;
    paths.directory = ProgramDirectory(modulePath);
    paths.languageFile = LanguageFilePath(paths.directory, code);
    return paths;
}
