#include "diagnostics_win.h"

#include "crash_dumps.h"
#include "crash_dumps_win.h"
#include "mouse/mouse_session.h"
#include "diagnostics.h"
#include "filter_driver_protocol.h"
#include "handle_owners_win.h"
#include "profile_cache.h"
#include "program_files_win.h"
#include "program_rules.h"
#include "text_files.h"

#include <cstring>
#include <cwchar>
#include <vector>

namespace {

constexpr size_t kBlockBytes = 512;

std::wstring LocalTimeText() {
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    wchar_t text[32] = {};
    std::swprintf(text, 32, L"%04u-%02u-%02u %02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute);
    return text;
}

ProgramFacts ProgramOf(const std::wstring& folder, const wchar_t* file) {
    ProgramFacts facts{file, std::nullopt};
    // Read as data: the 32-bit launcher too, and nothing of it runs. (Its version resource
    // without version.dll, which is no known DLL.)
    const HMODULE image = LoadLibraryExW((folder + file).c_str(), nullptr,
                                         LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (image == nullptr) {
        return facts;
    }
    if (HRSRC resource = FindResourceW(image, MAKEINTRESOURCEW(1), RT_VERSION)) {
        if (HGLOBAL loaded = LoadResource(image, resource)) {
            facts.version = FixedFileVersion(static_cast<const uint8_t*>(LockResource(loaded)),
                                             SizeofResource(image, resource));
        }
    }
    FreeLibrary(image);
    return facts;
}

std::wstring WindowsVersion() {
    using GetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    const auto get = reinterpret_cast<GetVersion>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (get == nullptr || get(&info) != 0) {
        return L"unknown";
    }
    return std::to_wstring(info.dwMajorVersion) + L"." + std::to_wstring(info.dwMinorVersion) +
           L"." + std::to_wstring(info.dwBuildNumber);
}

bool DevicePresent(const wchar_t* name) {
    // No access asked: only whether the control device exists.
    const UniqueHandle device(CreateFileW((std::wstring(L"\\\\.\\") + name).c_str(), 0,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    return static_cast<bool>(device);
}

CacheBlockFacts CachedBlockOf(int number) {
    CacheBlockFacts facts;
    facts.number = number;
    uint8_t block[kBlockBytes + 1] = {};
    DWORD size = sizeof(block);
    if (RegGetValueW(HKEY_CURRENT_USER, CacheKeyPath(number).c_str(), CacheValueName(number),
                     RRF_RT_ANY, nullptr, block, &size) == ERROR_SUCCESS &&
        size == kBlockBytes) {
        facts.present = true;
        facts.crc = Crc32(block, kBlockBytes);
    }
    return facts;
}

std::vector<std::wstring> ReadRecordedErrors() {
    std::vector<std::wstring> errors;
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, kDiagnosticsKeyPath, kLastErrorsValueName,
                     RRF_RT_REG_MULTI_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS ||
        size == 0) {
        return errors;
    }
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 2, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CURRENT_USER, kDiagnosticsKeyPath, kLastErrorsValueName,
                     RRF_RT_REG_MULTI_SZ, nullptr, text.data(), &size) != ERROR_SUCCESS) {
        return errors;
    }
    for (const wchar_t* entry = text.data(); *entry != L'\0'; entry += wcslen(entry) + 1) {
        errors.emplace_back(entry);
    }
    return errors;
}

DiagnosticsFacts CollectFacts(MouseSession& session, const TextSettings& texts) {
    DiagnosticsFacts facts;
    facts.written = LocalTimeText();
    const std::wstring folder = ProgramFolder();
    facts.installFolder = folder.empty() ? L"unknown" : folder.substr(0, folder.size() - 1);
    for (const wchar_t* file : {L"TarnDesk.exe", L"TarnAgent.exe", L"TarnWake.exe"}) {
        facts.programs.push_back(ProgramOf(folder, file));
    }
    facts.windows = WindowsVersion();
    facts.language = texts.languageCode;
    facts.languageFilePresent =
        !texts.languageFilePath.empty() &&
        GetFileAttributesW(texts.languageFilePath.c_str()) != INVALID_FILE_ATTRIBUTES;
    facts.mousePresent = session.IsMousePresent();
    for (const wchar_t* device :
         {TARN_HID_LOWER_FILTER_NAME, TARN_PS2_UPPER_FILTER_NAME, VELL_HID_UPPER_FILTER_NAME}) {
        facts.filterDevices.emplace_back(device, DevicePresent(device));
    }
    if (facts.mousePresent) {
        facts.activeProfile = session.QueryProfile();
    }
    facts.cache.push_back(CachedBlockOf(kHeaderCacheNumber));
    for (int profile = 0; profile < 5; ++profile) {
        facts.cache.push_back(CachedBlockOf(profile));
    }
    const ProgramRuleSettings rules = LoadProgramRuleSettings();
    facts.programProfilesOn = rules.on;
    facts.programRules = rules.rules.size();
    facts.skippedRules = rules.skipped;
    facts.lastErrors = ReadRecordedErrors();
    facts.crashDumps = CrashDumpFiles();
    return facts;
}

} // namespace

std::wstring DiagnosticsReport(MouseSession& session, const TextSettings& texts) {
    return FormatDiagnostics(CollectFacts(session, texts));
}

std::vector<std::pair<std::wstring, std::wstring>> TakeCrashNotices() {
    std::vector<std::pair<std::wstring, std::wstring>> notices;
    for (const wchar_t* program : {L"TarnDesk", L"TarnWake"}) {
        std::wstring dump = TakeCrashNotice(program);
        if (dump.empty()) {
            continue;
        }
        RecordDeskError(std::wstring(program) + L" ended unexpectedly; a crash dump was saved");
        notices.emplace_back(program, std::move(dump));
    }
    return notices;
}

void RecordDeskError(std::wstring_view what) {
    const std::vector<std::wstring> errors =
        WithRecordedError(ReadRecordedErrors(), LocalTimeText() + L" " + std::wstring(what));
    std::wstring multi;
    for (const std::wstring& error : errors) {
        multi += error;
        multi += L'\0';
    }
    multi += L'\0';
    UniqueKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kDiagnosticsKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, key.Put(), nullptr) == ERROR_SUCCESS) {
        RegSetValueExW(key.Get(), kLastErrorsValueName, 0, REG_MULTI_SZ,
                       reinterpret_cast<const BYTE*>(multi.data()),
                       static_cast<DWORD>(multi.size() * sizeof(wchar_t)));
    }
}
