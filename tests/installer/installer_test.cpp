// The suite's installer under Wine, in the order a user meets it: silent install, the files,
// Run key, programs' language, versions, shortcut and file types it leaves, the programs it
// starts and restarts, TarnDesk started from the shortcut, and a silent uninstall that ends
// running copies and leaves only the user's settings and what others took over; then a custom
// folder outside Program Files and its uninstall past a junction. The tests run in this order and
// build on each other.
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
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
const std::wstring kClasses = L"Software\\Classes\\";
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

// The user's file types, where the installer writes them.
std::wstring ClassString(const std::wstring& path, const wchar_t* value = L"") {
    return RegString(HKEY_CURRENT_USER, (kClasses + path).c_str(), value, KEY_WOW64_64KEY);
}

bool ClassExists(const std::wstring& path) {
    return KeyExists(HKEY_CURRENT_USER, (kClasses + path).c_str(), KEY_WOW64_64KEY);
}

bool HasValue(const std::wstring& path, const wchar_t* value) {
    return RegGetValueW(HKEY_CURRENT_USER, (kClasses + path).c_str(), value,
                        RRF_RT_ANY | RRF_SUBKEY_WOW6464KEY, nullptr, nullptr,
                        nullptr) == ERROR_SUCCESS;
}

bool SetClassString(const std::wstring& path, const std::wstring& text) {
    return RegSetKeyValueW(HKEY_CURRENT_USER, (kClasses + path).c_str(), nullptr, REG_SZ,
                           text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
}

struct FileType {
    const wchar_t* extension;
    const wchar_t* progId;
    int icon;
};
const FileType kFileTypes[] = {{L".tarnprofile", L"TarnDesk.Profile", 113},
                               {L".tarnprofiles", L"TarnDesk.Profiles", 114}};
const std::wstring kOpenCommand = L"\"" + kInstallDir + L"\\TarnDesk.exe\" /open \"%1\"";
const std::wstring kOtherCommand = L"\"C:\\Other\\Viewer.exe\" \"%1\"";

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
HANDLE wake = nullptr;

const wchar_t kDeskClass[] = L"TarnDeskCLass";
const wchar_t kAgentClass[] = L"TarnAgentClass";
const wchar_t kWakeClass[] = L"TarnWakeClass";
const wchar_t* WindowNameOf(const wchar_t* windowClass) {
    return windowClass == kDeskClass    ? L"TarnDeskWnd"
           : windowClass == kAgentClass ? L"TarnAgentWnd"
                                        : L"TarnWakeWnd";
}

// The process id of the program whose window of that class runs, once it appears; 0 if none
// does within the time.
DWORD WaitForProgram(const wchar_t* windowClass, DWORD timeoutMs) {
    for (DWORD waited = 0;; waited += 100) {
        if (HWND window = FindWindowW(windowClass, WindowNameOf(windowClass))) {
            DWORD id = 0;
            GetWindowThreadProcessId(window, &id);
            return id;
        }
        if (waited >= timeoutMs) {
            return 0;
        }
        Sleep(100);
    }
}

// Starts a program with a command line and no window of its own; its process, or null.
HANDLE StartProgram(const std::wstring& program, const std::wstring& arguments) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
        return nullptr;
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

// Asks the three programs to close, as the uninstaller would, and waits for their windows.
void CloseInstalledPrograms() {
    for (const wchar_t* windowClass : {kDeskClass, kAgentClass, kWakeClass}) {
        HWND window = FindWindowW(windowClass, WindowNameOf(windowClass));
        if (window == nullptr) {
            continue;
        }
        PostMessageW(window, windowClass == kAgentClass ? WM_COMMAND : WM_CLOSE,
                     windowClass == kAgentClass ? 105 : 0, 0);
        for (int i = 0; i < 100 && IsWindow(window); ++i) {
            Sleep(100);
        }
    }
}

// True when the folder's DACL keeps everyone but SYSTEM and Administrators from changing
// it: protected from what its parent would hand down, owned by Administrators, and no ACE
// granting any write, delete or permission right to another account.
testing::AssertionResult OnlyAdministratorsMayChange(const std::wstring& folder) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD status = GetNamedSecurityInfoW(
        folder.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
        &owner, nullptr, &dacl, nullptr, &descriptor);
    if (status != ERROR_SUCCESS) {
        return testing::AssertionFailure() << "GetNamedSecurityInfoW: " << status;
    }
    BYTE adminsBuffer[SECURITY_MAX_SID_SIZE] = {};
    BYTE systemBuffer[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof(adminsBuffer);
    CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, adminsBuffer, &size);
    size = sizeof(systemBuffer);
    CreateWellKnownSid(WinLocalSystemSid, nullptr, systemBuffer, &size);
    testing::AssertionResult result = testing::AssertionSuccess();
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    if ((control & SE_DACL_PROTECTED) == 0) {
        result = testing::AssertionFailure() << "the DACL inherits from the parent folder";
    }
    if (owner == nullptr || !EqualSid(owner, adminsBuffer)) {
        result = testing::AssertionFailure() << "not owned by Administrators";
    }
    const DWORD changes = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                          FILE_WRITE_ATTRIBUTES | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                          WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
    bool adminsFull = false;
    for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace) ||
            static_cast<ACE_HEADER*>(ace)->AceType != ACCESS_ALLOWED_ACE_TYPE) {
            continue;
        }
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        PSID sid = &allowed->SidStart;
        if (EqualSid(sid, adminsBuffer)) {
            adminsFull = adminsFull || (allowed->Mask & FILE_ALL_ACCESS) == FILE_ALL_ACCESS;
        } else if (!EqualSid(sid, systemBuffer) && (allowed->Mask & changes) != 0) {
            wchar_t* name = nullptr;
            ConvertSidToStringSidW(sid, &name);
            const std::wstring text = name != nullptr ? name : L"?";
            result = testing::AssertionFailure()
                     << "changes allowed to " << std::string(text.begin(), text.end());
            LocalFree(name);
        }
    }
    if (!adminsFull) {
        result = testing::AssertionFailure() << "Administrators lack full control";
    }
    LocalFree(descriptor);
    return result;
}

const std::wstring kCustomDir = L"C:\\Tarn Custom";

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

    // Running at once, not only after the next log-on: the mouse's buttons work right away.
    EXPECT_NE(WaitForProgram(kAgentClass, 10000), 0u) << "TarnAgent was not started";
    EXPECT_NE(WaitForProgram(kWakeClass, 10000), 0u) << "TarnWake was not started";
    EXPECT_NE(WaitForProgram(kDeskClass, 10000), 0u) << "TarnDesk was not started";
}

TEST_F(Installer, PlacesProgramsAndEverythingInTheInstallFolder) {
    EXPECT_EQ(MachineOf(kInstallDir + L"\\TarnDesk.exe"), IMAGE_FILE_MACHINE_AMD64);
    EXPECT_EQ(MachineOf(kInstallDir + L"\\TarnDesk.com"), IMAGE_FILE_MACHINE_AMD64);
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

// Both file kinds open in TarnDesk for the user whose desktop runs, each shown with its
// own document icon from TarnDesk.exe, and stay offered to open with when another program
// takes the extension.
TEST_F(Installer, AssociatesBothFileKindsWithTarnDesk) {
    const std::wstring desk = kInstallDir + L"\\TarnDesk.exe";
    for (const FileType& type : kFileTypes) {
        SCOPED_TRACE(std::string(type.progId, type.progId + wcslen(type.progId)));
        const std::wstring extension = type.extension;
        const std::wstring progId = type.progId;
        EXPECT_EQ(ClassString(extension), progId);
        EXPECT_TRUE(HasValue(extension + L"\\OpenWithProgids", type.progId));
        EXPECT_EQ(ClassString(progId + L"\\shell\\open\\command"), kOpenCommand);
        EXPECT_NE(ClassString(progId), L"<absent>");
        EXPECT_EQ(ClassString(progId, L"FriendlyTypeName"), ClassString(progId));
        const std::wstring icon = L"\"" + desk + L"\",-" + std::to_wstring(type.icon);
        ASSERT_EQ(ClassString(progId + L"\\DefaultIcon"), icon);
        HICON large = nullptr;
        EXPECT_EQ(ExtractIconExW(desk.c_str(), -type.icon, &large, nullptr, 1), 1u)
            << "TarnDesk.exe has no icon " << type.icon;
        if (large != nullptr) {
            DestroyIcon(large);
        }
        // What the shell runs on a double click. Wine 8 keeps HKCR to the machine's types and
        // shows no user's, so there only the keys above say it.
        if (KeyExists(HKEY_CLASSES_ROOT, type.extension, 0)) {
            wchar_t command[512] = {};
            DWORD length = 512;
            ASSERT_EQ(AssocQueryStringW(ASSOCF_NONE, ASSOCSTR_COMMAND, type.extension, L"open",
                                        command, &length),
                      S_OK);
            EXPECT_EQ(std::wstring(command), kOpenCommand);
        }
    }
}

TEST_F(Installer, WritesRunKeyInTheViewTarnWakeReads) {
    // The 32-bit view, which the 32-bit TarnWake reads; the earlier version's 64-bit values
    // are gone, so log-on starts each program once. Quoted, so that log-on does not take
    // "C:\Program" for the program.
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kRunKey, L"TarnAgent", KEY_WOW64_32KEY),
              L"\"" + kInstallDir + L"\\TarnAgent.exe\"");
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kRunKey, L"TarnWake", KEY_WOW64_32KEY),
              L"\"" + kInstallDir + L"\\TarnWake.exe\"");
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

    // Chosen on the command line, over the installation: the choice replaces it. The re-run
    // finds the three programs running and a command-line backup copying the mouse: it waits
    // for the copy to end rather than cutting it off, and starts again what it closed.
    const DWORD deskBefore = WaitForProgram(kDeskClass, 10000);
    const DWORD wakeBefore = WaitForProgram(kWakeClass, 10000);
    ASSERT_NE(deskBefore, 0u);
    const std::wstring backup = L"C:\\installer_test_backup.tarnprofiles";
    DeleteFileW(backup.c_str());
    const HANDLE transfer = StartProgram(kInstallDir + L"\\TarnDesk.exe", L"/export " + backup);
    ASSERT_NE(transfer, nullptr);
    ASSERT_EQ(RunAndWait(Env(L"TARN_INSTALLER"), L"/S /LANGUAGE=0419", 300000), 0u);
    EXPECT_EQ(WaitForSingleObject(transfer, 0), WAIT_OBJECT_0)
        << "the installer replaced TarnDesk while its transfer ran";
    DWORD exitCode = 0xFFFF;
    GetExitCodeProcess(transfer, &exitCode);
    CloseHandle(transfer);
    EXPECT_EQ(exitCode, 0u) << "the backup did not end by itself";
    EXPECT_GT(FileSize(backup), 6000) << "the backup is not whole";
    DeleteFileW(backup.c_str());
    const DWORD deskAfter = WaitForProgram(kDeskClass, 10000);
    const DWORD wakeAfter = WaitForProgram(kWakeClass, 10000);
    EXPECT_NE(deskAfter, 0u) << "TarnDesk was closed and not started again";
    EXPECT_NE(deskAfter, deskBefore) << "TarnDesk was not closed for the update";
    EXPECT_NE(wakeAfter, 0u) << "TarnWake was closed and not started again";
    EXPECT_NE(wakeAfter, wakeBefore);
    EXPECT_NE(WaitForProgram(kAgentClass, 10000), 0u) << "TarnAgent was not started again";

    EXPECT_EQ(RegString(HKEY_CURRENT_USER, kUserCacheKey, L"language", KEY_WOW64_64KEY), L"0419");
    EXPECT_EQ(RegString(HKEY_CURRENT_USER, kAgentSettingsKey, L"language", KEY_WOW64_64KEY),
              L"0419");
    // The file types are named in it too.
    EXPECT_EQ(ClassString(L"TarnDesk.Profile"), L"Профиль Gaming Mouse");
    EXPECT_EQ(ClassString(L"TarnDesk.Profiles", L"FriendlyTypeName"),
              L"Резервная копия профилей Gaming Mouse");
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

    // Started as the shell starts it, with the shortcut's working folder, after the one the
    // installer started has been closed.
    CloseInstalledPrograms();
    ASSERT_EQ(FindWindowW(kDeskClass, L"TarnDeskWnd"), nullptr);
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
    PROCESS_INFORMATION started = {};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               kInstallDir.c_str(), &startup, &started));
    CloseHandle(started.hThread);
    wake = started.hProcess;
    for (int i = 0; i < 100 && FindWindowW(L"TarnWakeClass", L"TarnWakeWnd") == nullptr; ++i) {
        Sleep(100);
    }
    EXPECT_NE(FindWindowW(L"TarnWakeClass", L"TarnWakeWnd"), nullptr);
}

TEST_F(Installer, UninstallsSilentlyLeavingOnlyTheUserCache) {
    // Another program has since taken over the backups' type: it stays as that program left it.
    ASSERT_TRUE(SetClassString(L"TarnDesk.Profiles\\shell\\open\\command", kOtherCommand));
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

    EXPECT_EQ(WaitForSingleObject(wake, 10000), WAIT_OBJECT_0) << "TarnWake still runs";
    EXPECT_EQ(WaitForSingleObject(desk.hProcess, 10000), WAIT_OBJECT_0) << "TarnDesk still runs";
    EXPECT_EQ(FindWindowW(kAgentClass, L"TarnAgentWnd"), nullptr) << "TarnAgent still runs";
    for (HANDLE process : {wake, desk.hProcess}) {
        if (process != nullptr) {
            TerminateProcess(process, 1);
            CloseHandle(process);
        }
    }
    CloseHandle(desk.hThread);

    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kRunKey, L"TarnAgent", view), L"<absent>");
        EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kRunKey, L"TarnWake", view), L"<absent>");
        EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kRunKey, L"TarnDesk", view), L"<absent>");
    }
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey, view));
    }

    EXPECT_FALSE(ClassExists(L".tarnprofile"));
    EXPECT_FALSE(ClassExists(L"TarnDesk.Profile"));
    EXPECT_EQ(ClassString(L"TarnDesk.Profiles\\shell\\open\\command"), kOtherCommand);
    EXPECT_NE(ClassString(L"TarnDesk.Profiles\\DefaultIcon"), L"<absent>");
    EXPECT_EQ(ClassString(L".tarnprofiles"), L"TarnDesk.Profiles");
    EXPECT_TRUE(HasValue(L".tarnprofiles\\OpenWithProgids", L"TarnDesk.Profiles"));
    for (const FileType& type : kFileTypes) {
        RegDeleteTreeW(HKEY_CURRENT_USER, (kClasses + type.extension).c_str());
        RegDeleteTreeW(HKEY_CURRENT_USER, (kClasses + type.progId).c_str());
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

// Too long a folder is refused with its reason (a silent run has no one to tell, so it only
// fails), before anything is written.
TEST_F(Installer, RefusesAFolderPathTooLongForThePrograms) {
    const std::wstring tooLong = L"C:\\" + std::wstring(90, L'x');
    EXPECT_NE(RunAndWait(Env(L"TARN_INSTALLER"), L"/S /D=" + tooLong, 120000), 0u);
    EXPECT_FALSE(Exists(tooLong));
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kRunKey, L"TarnAgent", KEY_WOW64_32KEY), L"<absent>");
}

// Whether this system keeps a protected DACL set on a folder (Windows does; Wine 8 keeps no
// ACLs and reports one made from the Unix mode instead).
bool SystemKeepsFolderDacls() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring probe = std::wstring(temp) + L"tarn_dacl_probe";
    CreateDirectoryW(probe.c_str(), nullptr);
    PSECURITY_DESCRIPTOR wanted = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:PAI(A;OICI;FA;;;BA)", SDDL_REVISION_1,
                                                         &wanted, nullptr);
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    GetSecurityDescriptorDacl(wanted, &present, &dacl, &defaulted);
    SetNamedSecurityInfoW(const_cast<wchar_t*>(probe.c_str()), SE_FILE_OBJECT,
                          DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                          nullptr, dacl, nullptr);
    LocalFree(wanted);
    PSECURITY_DESCRIPTOR read = nullptr;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    if (GetNamedSecurityInfoW(probe.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, nullptr, nullptr, &read) == ERROR_SUCCESS) {
        DWORD revision = 0;
        GetSecurityDescriptorControl(read, &control, &revision);
        LocalFree(read);
    }
    RemoveDirectoryW(probe.c_str());
    return (control & SE_DACL_PROTECTED) != 0;
}

// A folder outside Program Files would inherit "users may change" from the drive. The
// installer makes it the administrators' and reads that back; where the system does not
// keep it (Wine), the folder is refused rather than used unprotected.
TEST_F(Installer, RestrictsACustomFolderToAdministratorsOrRefusesIt) {
    const DWORD code = RunAndWait(Env(L"TARN_INSTALLER"), L"/S /D=" + kCustomDir, 300000);
    if (!SystemKeepsFolderDacls()) {
        EXPECT_NE(code, 0u) << "installed into a folder whose permissions did not hold";
        EXPECT_FALSE(Exists(kCustomDir + L"\\TarnAgent.exe"));
        EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kRunKey, L"TarnAgent", KEY_WOW64_32KEY),
                  L"<absent>");
        RemoveDirectoryW(kCustomDir.c_str());
        return;
    }
    ASSERT_EQ(code, 0u);
    ASSERT_TRUE(Exists(kCustomDir + L"\\TarnAgent.exe"));
    EXPECT_TRUE(OnlyAdministratorsMayChange(kCustomDir));
    EXPECT_TRUE(OnlyAdministratorsMayChange(kCustomDir + L"\\image"));
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kRunKey, L"TarnAgent", KEY_WOW64_32KEY),
              L"\"" + kCustomDir + L"\\TarnAgent.exe\"");
    CloseInstalledPrograms();
    EXPECT_EQ(RunAndWait(kCustomDir + L"\\Uninstall.exe", L"/S _?=" + kCustomDir, 120000), 0u);
    DeleteFileW((kCustomDir + L"\\Uninstall.exe").c_str());
    RemoveDirectoryW(kCustomDir.c_str());
}

// Installed once more for the last check; /NOSTART: the agent and the launcher run at once,
// TarnDesk does not.
TEST_F(Installer, NoStartLeavesTarnDeskToTheUser) {
    ASSERT_EQ(RunAndWait(Env(L"TARN_INSTALLER"), L"/S /NOSTART", 300000), 0u);
    EXPECT_NE(WaitForProgram(kAgentClass, 10000), 0u);
    EXPECT_NE(WaitForProgram(kWakeClass, 10000), 0u);
    Sleep(2000);
    EXPECT_EQ(FindWindowW(kDeskClass, L"TarnDeskWnd"), nullptr) << "/NOSTART started TarnDesk";
}

// Run after the test script has put a link in place of the installation's image folder,
// pointing at a folder of someone else's files: the uninstaller must not follow it.
TEST_F(Installer, UninstallNeverFollowsAJunctionOutOfTheFolder) {
    const std::wstring outside = Env(L"TARN_JUNCTION_TARGET");
    ASSERT_TRUE(Exists(outside + L"\\mouse.bmp")) << "the script planted no link";
    const DWORD attributes = GetFileAttributesW((kInstallDir + L"\\image").c_str());
    ASSERT_NE(attributes & FILE_ATTRIBUTE_REPARSE_POINT, 0u) << "image\\ is no link";
    ASSERT_TRUE(SetClassString(L".tarnprofile", L"Other.Viewer"));
    EXPECT_EQ(RunAndWait(kInstallDir + L"\\Uninstall.exe", L"/S _?=" + kInstallDir, 120000), 0u);
    EXPECT_TRUE(Exists(outside + L"\\mouse.bmp")) << "a file behind the junction was deleted";
    EXPECT_TRUE(Exists(outside + L"\\logo.bmp"));
    // Everything that is the installation's own is gone; Wine cannot remove the link itself.
    EXPECT_FALSE(Exists(kInstallDir + L"\\TarnDesk.exe"));
    EXPECT_FALSE(Exists(kInstallDir + L"\\Language"));
    EXPECT_EQ(FindWindowW(kAgentClass, L"TarnAgentWnd"), nullptr);
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kRunKey, L"TarnAgent", KEY_WOW64_32KEY), L"<absent>");
    // TarnDesk's types go; an extension another program took keeps that program's type.
    EXPECT_FALSE(ClassExists(L"TarnDesk.Profile"));
    EXPECT_FALSE(ClassExists(L"TarnDesk.Profiles"));
    EXPECT_FALSE(ClassExists(L".tarnprofiles"));
    EXPECT_EQ(ClassString(L".tarnprofile"), L"Other.Viewer");
    EXPECT_FALSE(HasValue(L".tarnprofile\\OpenWithProgids", L"TarnDesk.Profile"));
    RegDeleteTreeW(HKEY_CURRENT_USER, (kClasses + L".tarnprofile").c_str());
}
