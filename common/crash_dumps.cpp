#include "crash_dumps.h"

#include <algorithm>
#include <cwchar>

namespace {

wchar_t FoldAscii(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool EqualIgnoringCase(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](wchar_t x, wchar_t y) { return FoldAscii(x) == FoldAscii(y); });
}

void AppendNumber(std::wstring* out, unsigned value, int digits) {
    wchar_t text[16] = {};
    std::swprintf(text, 16, L"%0*u", digits, value);
    *out += text;
}

} // namespace

std::wstring CrashDumpFileName(std::wstring_view program, const DumpTime& time,
                               uint32_t processId) {
    std::wstring name(program);
    name += L'-';
    AppendNumber(&name, time.year, 4);
    AppendNumber(&name, time.month, 2);
    AppendNumber(&name, time.day, 2);
    name += L'-';
    AppendNumber(&name, time.hour, 2);
    AppendNumber(&name, time.minute, 2);
    AppendNumber(&name, time.second, 2);
    name += L'-';
    AppendNumber(&name, processId, 1);
    name += kCrashDumpExtension;
    return name;
}

bool IsCrashDumpOf(std::wstring_view program, std::wstring_view fileName) {
    const std::wstring_view extension = kCrashDumpExtension;
    // program, '-', 8 digits, '-', 6 digits, '-', at least one digit, extension
    const size_t shortest = program.size() + 1 + 8 + 1 + 6 + 1 + 1 + extension.size();
    if (program.empty() || fileName.size() < shortest ||
        !EqualIgnoringCase(fileName.substr(0, program.size()), program) ||
        !EqualIgnoringCase(fileName.substr(fileName.size() - extension.size()), extension)) {
        return false;
    }
    const std::wstring_view stamp =
        fileName.substr(program.size(), fileName.size() - program.size() - extension.size());
    for (size_t i = 0; i < stamp.size(); ++i) {
        const bool dash = i == 0 || i == 9 || i == 16;
        if (dash ? stamp[i] != L'-' : (stamp[i] < L'0' || stamp[i] > L'9')) {
            return false;
        }
    }
    return true;
}

std::vector<std::wstring> CrashDumpsToDelete(std::wstring_view program,
                                             std::vector<std::wstring> fileNames, size_t keep) {
    std::erase_if(fileNames,
                  [&](const std::wstring& name) { return !IsCrashDumpOf(program, name); });
    if (fileNames.size() <= keep) {
        return {};
    }
    // The time stamp has a fixed width, so the names sort oldest first.
    std::sort(fileNames.begin(), fileNames.end());
    fileNames.resize(fileNames.size() - keep);
    return fileNames;
}

std::wstring FormatCrashNotice(std::wstring_view pattern, std::wstring_view dumpPath) {
    const size_t at = pattern.find(L"%s");
    if (at == std::wstring_view::npos) {
        return std::wstring(pattern);
    }
    std::wstring text(pattern.substr(0, at));
    text += dumpPath;
    text += pattern.substr(at + 2);
    return text;
}
