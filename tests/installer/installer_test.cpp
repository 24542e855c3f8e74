// The suite's installer under Wine, in the order a user meets it: silent install, the files,
// Run key, programs' language, versions and shortcut it leaves, TarnDesk started from the
// shortcut, and a silent uninstall that ends running copies and leaves only the user's
// settings. The tests run in this order and build on each other.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <winternl.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tarn_version.h"

namespace {

const std::wstring kInstallDir = L"C:\\Program Files\\Orvane\\Gaming Mouse";
const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OrvaneGamingMouse";
const wchar_t kUserCacheKey[] = L"Software\\Orvane\\Gaming\\Settings";
const wchar_t kAgentSettingsKey[] = L"Software\\Orvane\\Stilbe\\Settings";
const wchar_t kMarker[] = L"InstallerTestMarker";
const DWORD kMarkerValue = 0x5EED;

std::wstring Env(const wchar_t* name) {
    wchar_t value[1024] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::int64_t FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return -1;
    }
    return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Relative paths of the files under dir, recursively.
void ListFiles(const std::wstring& dir, const std::wstring& prefix,
               std::vector<std::wstring>* out) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ListFiles(dir + L"\\" + name, prefix + name + L"\\", out);
        } else {
            out->push_back(prefix + name);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

std::wstring RegString(HKEY root, const wchar_t* path, const wchar_t* value, REGSAM view) {
    wchar_t text[512] = {};
    DWORD size = sizeof(text);
    if (RegGetValueW(root, path, value,
                     RRF_RT_REG_SZ |
                         (view == KEY_WOW64_32KEY ? RRF_SUBKEY_WOW6432KEY : RRF_SUBKEY_WOW6464KEY),
                     nullptr, text, &size) != ERROR_SUCCESS) {
        return L"<absent>";
    }
    return text;
}

bool KeyExists(HKEY root, const wchar_t* path, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path, 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

DWORD RunAndWait(const std::wstring& program, const std::wstring& arguments, DWORD timeoutMs) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        return 0xFFFFFFFF;
    }
    DWORD code = 0xFFFFFFFE;
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return code;
}

std::wstring ShortcutPath() {
    wchar_t programs[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, programs);
    return std::wstring(programs) + L"\\Orvane Gaming Mouse\\Gaming Mouse Settings.lnk";
}

// The current folder of another (64-bit) process, read from its process parameters.
std::wstring CurrentFolderOf(HANDLE process) {
    using Query = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic = {};
    if (query == nullptr ||
        query(process, ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0) {
        return {};
    }
    // PEB.ProcessParameters at 0x20; its CurrentDirectory.DosPath at 0x38 (x86-64 layout).
    std::uint64_t parameters = 0;
    SIZE_T read = 0;
    auto* peb = static_cast<unsigned char*>(static_cast<void*>(basic.PebBaseAddress));
    if (!ReadProcessMemory(process, peb + 0x20, &parameters, sizeof(parameters), &read)) {
        return {};
    }
    struct {
        std::uint16_t length;
        std::uint16_t maximum;
        std::uint32_t pad;
        std::uint64_t buffer;
    } dosPath = {};
    if (!ReadProcessMemory(process, reinterpret_cast<void*>(parameters + 0x38), &dosPath,
                           sizeof(dosPath), &read) ||
        dosPath.length == 0 || dosPath.length > 2048) {
        return {};
    }
    std::wstring folder(dosPath.length / 2, L'\0');
    if (!ReadProcessMemory(process, reinterpret_cast<void*>(dosPath.buffer), folder.data(),
                           dosPath.length, &read)) {
        return {};
    }
    if (folder.size() > 3 && folder.back() == L'\\') {
        folder.pop_back();
    }
    return folder;
}

std::wstring VersionString(const std::vector<BYTE>& info, const wchar_t* name) {
    wchar_t* text = nullptr;
    UINT length = 0;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
    if (!VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&text), &length) ||
        text == nullptr) {
        return {};
    }
    return text;
}

WORD MachineOf(const std::wstring& path) {
    HMODULE image = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (image == nullptr) {
        return 0;
    }
    // A data-file mapping has its low bit set; the headers begin at the aligned address.
    auto* base = reinterpret_cast<const unsigned char*>(reinterpret_cast<std::uintptr_t>(image) &
                                                        ~static_cast<std::uintptr_t>(3));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const WORD machine = nt->FileHeader.Machine;
    FreeLibrary(image);
    return machine;
}

std::string ManifestOf(const std::wstring& path) {
    HMODULE image = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (image == nullptr) {
        return {};
    }
    std::string text;
    HRSRC resource = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    if (resource != nullptr) {
        HGLOBAL loaded = LoadResource(image, resource);
        text.assign(static_cast<const char*>(LockResource(loaded)),
                    SizeofResource(image, resource));
    }
    FreeLibrary(image);
    return text;
}

// Processes started during the run, ended by the uninstaller.
PROCESS_INFORMATION desk = {};
PROCESS_INFORMATION wake = {};

// Sets a Run value of one registry view as an earlier installation left it.
bool SetRunValue(REGSAM view, const wchar_t* name, const std::wstring& command) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRunKey, 0, nullptr, 0, KEY_SET_VALUE | view, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LONG status =
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                       static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

class Installer : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
};

} // namespace

TEST_F(Installer, InstallsSilently) {
    const std::wstring setup = Env(L"TARN_INSTALLER");
    ASSERT_TRUE(Exists(setup)) << "TARN_INSTALLER names no installer";
    // A run that stopped half-way leaves an installation; remove it as a user would.
    if (Exists(kInstallDir + L"\\Uninstall.exe")) {
        RunAndWait(kInstallDir + L"\\Uninstall.exe", L"/S _?=" + kInstallDir, 120000);
        DeleteFileW((kInstallDir + L"\\Uninstall.exe").c_str());
        RemoveDirectoryW(kInstallDir.c_str());
        RemoveDirectoryW(L"C:\\Program Files\\Orvane");
    }
    ASSERT_FALSE(Exists(kInstallDir)) << "a previous installation is in the way";
    // The user's registry cache, which outlives the installation.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kUserCacheKey, 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, kMarker, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&kMarkerValue),
                   sizeof(kMarkerValue));
    RegDeleteValueW(key, L"language");
    RegCloseKey(key);
    // A user who never chose a language.
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kAgentSettingsKey, 0, KEY_SET_VALUE, &key) ==
        ERROR_SUCCESS) {
        RegDeleteValueW(key, L"language");
        RegCloseKey(key);
    }

    // An upgrade over a version that wrote the Run values in the 64-bit view.
    ASSERT_TRUE(SetRunValue(KEY_WOW64_64KEY, L"TarnAgent", kInstallDir + L"\\TarnAgent.exe"));
    ASSERT_TRUE(SetRunValue(KEY_WOW64_64KEY, L"TarnWake", kInstallDir + L"\\TarnWake.exe"));
    EXPECT_EQ(RunAndWait(setup, L"/S", 300000), 0u);
}

TEST_F(Installer, PlacesProgramsAndEverythingInTheInstallFolder) {
    EXPECT_EQ(MachineOf(kInstallDir + L"\\TarnDesk.exe"), IMAGE_FILE_MACHINE_AMD64);
    EXPECT_EQ(MachineOf(kInstallDir + L"\\TarnAgent.exe"), IMAGE_FILE_MACHINE_AMD64);
    EXPECT_EQ(MachineOf(kInstallDir + L"\\TarnWake.exe"), IMAGE_FILE_MACHINE_I386);
    EXPECT_TRUE(Exists(kInstallDir + L"\\Uninstall.exe"));

    // Everything staged from the build and install/ (Language\, image\, ...) lands as it is.
    const std::wstring staged = Env(L"TARN_INSTALL_STAGE");
    std::vector<std::wstring> files;
    ListFiles(staged, L"", &files);
    for (const std::wstring& file : files) {
        EXPECT_EQ(FileSize(kInstallDir + L"\\" + file), FileSize(staged + L"\\" + file))
            << std::string(file.begin(), file.end());
    }
    EXPECT_GE(files.size(), 5u) << "the programs, TarnMsFlt.inf and TarnPrefs.txt at least";

    // The agent's local settings with their defaults.
    const std::wstring prefs = kInstallDir + L"\\TarnPrefs.txt";
    wchar_t name[64] = {};
    GetPrivateProfileStringW(L"MouseSetting", L"AppName", L"", name, 64, prefs.c_str());
    EXPECT_STREQ(name, L"Scroll Mouse");
    EXPECT_EQ(GetPrivateProfileIntW(L"MouseSetting", L"buttonA", 0, prefs.c_str()), 84947073u);
    EXPECT_EQ(GetPrivateProfileIntW(L"MouseSetting", L"buttonB", 0, prefs.c_str()), 103829u);
}

TEST_F(Installer, WritesRunKeyInTheViewTarnWakeReads) {
    // The 32-bit view, which the 32-bit TarnWake reads; the earlier version's 64-bit values
    // are gone, so log-on starts each program once.
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kRunKey, L"TarnAgent", KEY_WOW64_32KEY),
              kInstallDir + L"\\TarnAgent.exe");
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kRunKey, L"TarnWake", KEY_WOW64_32KEY),
              kInstallDir + L"\\TarnWake.exe");
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kRunKey, L"TarnAgent", KEY_WOW64_64KEY), L"<absent>");
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kRunKey, L"TarnWake", KEY_WOW64_64KEY), L"<absent>");
    // TarnDesk at log-on (program profiles), beside them and quoted for the folder's spaces.
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kRunKey, L"TarnDesk", KEY_WOW64_32KEY),
              L"\"" + kInstallDir + L"\\TarnDesk.exe\"");
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kRunKey, L"TarnDesk", KEY_WOW64_64KEY), L"<absent>");
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayVersion", KEY_WOW64_64KEY),
              TEXT(TARN_VERSION_STRING));
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kUninstallKey, L"UninstallString", KEY_WOW64_64KEY),
              L"\"" + kInstallDir + L"\\Uninstall.exe\"");
}

TEST_F(Installer, WritesTheChosenLanguageWhereBothProgramsReadIt) {
    // Unasked, the system's user-interface language when it is shipped, else English.
    wchar_t uiCode[8] = {};
    swprintf(uiCode, 8, L"%04X", GetUserDefaultUILanguage());
    const std::wstring fallback =
        Exists(kInstallDir + L"\\Language\\" + uiCode + L".txt") ? uiCode : L"0409";
    EXPECT_EQ(RegString(HKEY_CURRENT_USER, kUserCacheKey, L"language", KEY_WOW64_64KEY), fallback);
    EXPECT_EQ(RegString(HKEY_CURRENT_USER, kAgentSettingsKey, L"language", KEY_WOW64_64KEY),
              fallback);

    // Chosen on the command line, over the installation: the choice replaces it.
    ASSERT_EQ(RunAndWait(Env(L"TARN_INSTALLER"), L"/S /LANGUAGE=0419", 300000), 0u);
    EXPECT_EQ(RegString(HKEY_CURRENT_USER, kUserCacheKey, L"language", KEY_WOW64_64KEY), L"0419");
    EXPECT_EQ(RegString(HKEY_CURRENT_USER, kAgentSettingsKey, L"language", KEY_WOW64_64KEY),
              L"0419");
}

TEST_F(Installer, ProgramsCarryVersionAndManifest) {
    for (const wchar_t* program : {L"TarnDesk.exe", L"TarnAgent.exe", L"TarnWake.exe"}) {
        SCOPED_TRACE(std::string(program, program + wcslen(program)));
        const std::wstring path = kInstallDir + L"\\" + program;
        DWORD handle = 0;
        const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
        ASSERT_GT(size, 0u);
        std::vector<BYTE> info(size);
        ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
        EXPECT_EQ(fixed->dwProductVersionMS,
                  static_cast<DWORD>((TARN_VERSION_MAJOR << 16) | TARN_VERSION_MINOR));
        EXPECT_EQ(fixed->dwProductVersionLS, static_cast<DWORD>(TARN_VERSION_PATCH << 16));
        EXPECT_EQ(VersionString(info, L"ProductVersion"), TEXT(TARN_VERSION_STRING));
        EXPECT_EQ(VersionString(info, L"FileVersion"), TEXT(TARN_VERSION_STRING));
        EXPECT_EQ(VersionString(info, L"OriginalFilename"), program);
        EXPECT_EQ(VersionString(info, L"CompanyName"), L"Orvane");
        EXPECT_EQ(VersionString(info, L"ProductName"), L"Orvane Gaming Mouse Software");
        EXPECT_FALSE(VersionString(info, L"FileDescription").empty());
        EXPECT_NE(VersionString(info, L"LegalCopyright").find(L"Orvane"), std::wstring::npos);

        const std::string manifest = ManifestOf(path);
        for (const char* part :
             {"Microsoft.Windows.Common-Controls", "6595b64144ccf1df", "PerMonitorV2, System",
              "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true",
              "level=\"asInvoker\"", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
            EXPECT_NE(manifest.find(part), std::string::npos) << part;
        }
    }
}

TEST_F(Installer, ShortcutStartsTarnDeskInTheInstallFolder) {
    IShellLinkW* link = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                               reinterpret_cast<void**>(&link)),
              S_OK);
    IPersistFile* file = nullptr;
    ASSERT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
    ASSERT_EQ(file->Load(ShortcutPath().c_str(), STGM_READ), S_OK);
    wchar_t target[MAX_PATH] = {};
    wchar_t folder[MAX_PATH] = {};
    link->GetPath(target, MAX_PATH, nullptr, 0);
    link->GetWorkingDirectory(folder, MAX_PATH);
    file->Release();
    link->Release();
    EXPECT_EQ(std::wstring(target), kInstallDir + L"\\TarnDesk.exe");
    ASSERT_EQ(std::wstring(folder), kInstallDir);

    // Started as the shell starts it, with the shortcut's working folder: the pictures and
    // language files are found from there.
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    std::wstring commandLine = L"\"" + std::wstring(target) + L"\"";
    ASSERT_TRUE(CreateProcessW(target, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               folder, &startup, &desk));
    for (int i = 0; i < 100 && FindWindowW(L"TarnDeskCLass", L"TarnDeskWnd") == nullptr; ++i) {
        if (WaitForSingleObject(desk.hProcess, 100) == WAIT_OBJECT_0) {
            break;
        }
    }
    ASSERT_EQ(WaitForSingleObject(desk.hProcess, 0), WAIT_TIMEOUT) << "TarnDesk ended at start-up";
    EXPECT_NE(FindWindowW(L"TarnDeskCLass", L"TarnDeskWnd"), nullptr);
    EXPECT_EQ(CurrentFolderOf(desk.hProcess), kInstallDir);

    // A running launcher too, for the uninstaller to end.
    commandLine = L"\"" + kInstallDir + L"\\TarnWake.exe\"";
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               kInstallDir.c_str(), &startup, &wake));
    for (int i = 0; i < 100 && FindWindowW(L"TarnWakeClass", L"TarnWakeWnd") == nullptr; ++i) {
        Sleep(100);
    }
    EXPECT_NE(FindWindowW(L"TarnWakeClass", L"TarnWakeWnd"), nullptr);
}

TEST_F(Installer, UninstallsSilentlyLeavingOnlyTheUserCache) {
    // The uninstaller copies itself away and returns; its last step removes the uninstall entry.
    EXPECT_EQ(RunAndWait(kInstallDir + L"\\Uninstall.exe", L"/S", 60000), 0u);
    for (int i = 0; i < 600 && KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_WOW64_64KEY); ++i) {
        Sleep(100);
    }
    Sleep(500);
    EXPECT_FALSE(Exists(kInstallDir));
    EXPECT_FALSE(Exists(L"C:\\Program Files\\Orvane"));
    EXPECT_FALSE(Exists(ShortcutPath()));
    const std::wstring menu = ShortcutPath().substr(0, ShortcutPath().rfind(L'\\'));
    EXPECT_FALSE(Exists(menu));

    EXPECT_EQ(WaitForSingleObject(wake.hProcess, 10000), WAIT_OBJECT_0) << "TarnWake still runs";
    EXPECT_EQ(WaitForSingleObject(desk.hProcess, 10000), WAIT_OBJECT_0) << "TarnDesk still runs";
    for (PROCESS_INFORMATION* process : {&wake, &desk}) {
        if (process->hProcess != nullptr) {
            TerminateProcess(process->hProcess, 1);
            CloseHandle(process->hProcess);
            CloseHandle(process->hThread);
        }
    }

    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kRunKey, L"TarnAgent", view), L"<absent>");
        EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kRunKey, L"TarnWake", view), L"<absent>");
        EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kRunKey, L"TarnDesk", view), L"<absent>");
    }
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey, view));
    }

    DWORD marker = 0;
    DWORD size = sizeof(marker);
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, kUserCacheKey, kMarker, RRF_RT_REG_DWORD, nullptr,
                           &marker, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(marker, kMarkerValue);
    EXPECT_EQ(RegString(HKEY_CURRENT_USER, kUserCacheKey, L"language", KEY_WOW64_64KEY), L"0419");
    EXPECT_EQ(RegString(HKEY_CURRENT_USER, kAgentSettingsKey, L"language", KEY_WOW64_64KEY),
              L"0419");
    // The other tests of this prefix expect the programs' built-in English.
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kUserCacheKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, kMarker);
        RegDeleteValueW(key, L"language");
        RegCloseKey(key);
    }
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kAgentSettingsKey, 0, KEY_SET_VALUE, &key) ==
        ERROR_SUCCESS) {
        RegDeleteValueW(key, L"language");
        RegCloseKey(key);
    }
}
