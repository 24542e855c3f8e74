// Win32 side of the action dispatcher: keys, clicks, browser navigation, configured pages and
// programs, and the sibling tools.
#include <windows.h>

#include <tlhelp32.h>

#include <string>

#include "actions.h"
#include "agent_settings.h"
#include "handle_owners_win.h"
#include "program_files_win.h"
#include "scroll_engine.h"

namespace {
constexpr int kBrowserClassFieldCount = 41; // 40 characters and the terminator
constexpr int kTitleFieldCount = 501;       // 500 characters and the terminator
constexpr DWORD kBrowserKeyHoldMs = 20;
constexpr UINT kTitleTimeoutMs = 1000;
constexpr int kValueCount = 128; // 255 bytes of string data, terminator included
constexpr DWORD kValueByteLimit = kButtonValueByteLimit;
constexpr int kKeyNameFieldCount = 256;

constexpr WPARAM kFrameBack = 32780; // 0x800C
constexpr WPARAM kFrameForward = 32781;
constexpr WPARAM kHelpBack = 204;
constexpr WPARAM kHelpForward = 209;

void SendKeys(const KeySequence& keys) {
    for (size_t i = 0; i < keys.count && i < kMaxKeyStrokes; ++i) {
        const KeyStroke& key = keys.strokes[i];
        const BYTE scan =
            key.zeroScan ? BYTE{0} : static_cast<BYTE>(MapVirtualKeyW(key.vk, MAPVK_VK_TO_VSC));
        keybd_event(key.vk, scan, key.up ? KEYEVENTF_KEYUP : 0, 0);
    }
}

void RunNumberedTool(const wchar_t* file, int button) {
    StartTool(file, std::to_wstring(button).c_str(), SW_RESTORE);
}

// The button's "homepage" or "application" value; false when the key or a usable string
// value is missing.
bool ReadButtonValue(int button, const wchar_t* valueName, wchar_t (&value)[kValueCount]) {
    wchar_t keyName[kKeyNameFieldCount];
    if (!FormatButtonKeyName(button, keyName, kKeyNameFieldCount)) {
        return false;
    }
    UniqueKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, keyName, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, key.Put(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    BYTE data[kValueByteLimit] = {};
    DWORD size = kValueByteLimit;
    DWORD type = REG_NONE;
    const LONG status = RegQueryValueExW(key.Get(), valueName, nullptr, &type, data, &size);
    key.Reset();
    if (status != ERROR_SUCCESS || size > kValueByteLimit) {
        return false;
    }
    return DecodeRegistryString(type, data, size, value, kValueCount);
}

void OpenButtonValue(int button, const wchar_t* valueName, bool activate) {
    wchar_t value[kValueCount];
    if (!ReadButtonValue(button, valueName, value)) {
        return;
    }
    ShellExecuteW(nullptr, L"open", value, nullptr, nullptr, SW_RESTORE);
    if (!activate) {
        return;
    }
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        ActivateProcessByPath(value, snapshot);
    }
}

struct WindowSearch {
    DWORD processId;
    HWND found;
};

// The process's first visible top-level window that has no owner: its main window.
BOOL CALLBACK FindMainWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != search->processId || !IsWindowVisible(window) ||
        GetWindow(window, GW_OWNER) != nullptr) {
        return TRUE;
    }
    search->found = window;
    return FALSE;
}

void BringProcessForward(DWORD processId) {
    WindowSearch search = {processId, nullptr};
    EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) {
        SetForegroundWindow(search.found);
        SetActiveWindow(search.found);
    }
}

bool ProcessHasModule(DWORD processId, const wchar_t* path) {
    const UniqueHandle modules(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId));
    if (!modules) {
        return false;
    }
    bool found = false;
    MODULEENTRY32W module = {};
    module.dwSize = sizeof(module);
    for (BOOL more = Module32FirstW(modules.Get(), &module); more && !found;
         more = Module32NextW(modules.Get(), &module)) {
        module.szExePath[MAX_PATH - 1] = 0;
        // Paths name files: equal when the file system takes them for the same name.
        found = CompareStringOrdinal(module.szExePath, -1, path, -1, TRUE) == CSTR_EQUAL;
    }
    return found;
}

void RunAction(uint32_t code, int button) {
    switch (code) {
    case 1:
    case 2:
    case 3:
        CloseTool(kScaladoClass);
        CloseTool(kVeerlineClass);
        break;
    case 4:
        BrowserNavigate(kNavigateBack);
        break;
    case 5:
        BrowserNavigate(kNavigateForward);
        break;
    case 6:
        mouse_event(MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
        mouse_event(MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
        break;
    case 7:
        CloseTool(kScaladoClass);
        ToggleTool(kVeerlineClass, kVeerlineFile);
        break;
    case 23:
        CloseTool(kVeerlineClass);
        ToggleTool(kScaladoClass, kScaladoFile);
        break;
    case 25:
        OpenButtonValue(button, L"homepage", false);
        break;
    case 26:
        OpenButtonValue(button, L"application", true);
        break;
    case 27:
        RunNumberedTool(kTapsmithFile, button);
        break;
    case 28:
        RunNumberedTool(kChordwellFile, button);
        break;
    case 29:
        dragLocked = !dragLocked;
        mouse_event(dragLocked ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
        break;
    case 31:
        StoreTilt(255);
        ScrollStep();
        break;
    case 32:
        StoreTilt(1);
        ScrollStep();
        break;
    case 33:
        ToggleTool(kLupinaClass, kLupinaFile);
        break;
    default:
        // The key actions (8-22, 24, 30); codes 0 and 34-63 have no keys and do nothing.
        SendKeys(KeysOfAction(code));
        break;
    }
}
} // namespace

void RunButtonActions(uint32_t mask) {
    int buttons[10];
    const size_t count = ButtonsOfMask(mask, buttons);
    for (size_t i = 0; i < count; ++i) {
        RunAction(ActionCodeOf(agentSettings, buttons[i]), buttons[i]);
    }
}

void CloseTool(const wchar_t* windowClass) {
    const HWND tool = FindWindowW(windowClass, nullptr);
    if (tool != nullptr) {
        PostMessageW(tool, WM_CLOSE, 0, 0);
    }
}

void StartTool(const wchar_t* file, const wchar_t* arguments, int show) {
    const std::wstring folder = ProgramFolder();
    if (folder.empty()) {
        return;
    }
    const std::wstring path = folder + file;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return; // not installed: no search elsewhere
    }
    std::wstring commandLine = ToolCommandLine(folder, file, arguments);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(show);
    PROCESS_INFORMATION started = {};
    // The program is named by its path, so the command line is never searched for it.
    if (CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       folder.c_str(), &startup, &started)) {
        const UniqueHandle process(started.hProcess);
        const UniqueHandle thread(started.hThread);
    }
}

void ToggleTool(const wchar_t* windowClass, const wchar_t* file) {
    const HWND tool = FindWindowW(windowClass, nullptr);
    if (tool != nullptr) {
        PostMessageW(tool, WM_CLOSE, 0, 0);
    } else {
        StartTool(file, L"", SW_SHOWNORMAL);
    }
}

uint32_t ClassifyBrowser(HWND window) {
    wchar_t name[kBrowserClassFieldCount] = {};
    GetClassNameW(window, name, kBrowserClassFieldCount);
    wchar_t title[kTitleFieldCount] = {};
    if (BrowserNeedsTitle(name)) {
        // Bounded, so that a hung foreground window cannot stall the agent.
        DWORD_PTR copied = 0;
        SendMessageTimeoutW(window, WM_GETTEXT, kTitleFieldCount, reinterpret_cast<LPARAM>(title),
                            SMTO_ABORTIFHUNG, kTitleTimeoutMs, &copied);
        title[kTitleFieldCount - 1] = 0;
    }
    return BrowserGenerationOf(name, title);
}

void BrowserNavigate(int direction) {
    if (direction != kNavigateBack && direction != kNavigateForward) {
        return;
    }
    const bool back = direction == kNavigateBack;
    const HWND window = GetForegroundWindow();
    if (window == nullptr) {
        return;
    }
    const uint32_t generation = ClassifyBrowser(window);
    wchar_t name[kBrowserClassFieldCount] = {};
    GetClassNameW(window, name, kBrowserClassFieldCount);
    switch (NavigationMethodOf(name, generation)) {
    case NavigationMethod::BrowserKey: {
        const BYTE key = back ? VK_BROWSER_BACK : VK_BROWSER_FORWARD;
        const auto scan = static_cast<BYTE>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
        keybd_event(key, scan, 0, 0);
        Sleep(kBrowserKeyHoldMs);
        keybd_event(key, scan, KEYEVENTF_KEYUP, 0);
        break;
    }
    case NavigationMethod::FrameCommand:
        PostMessageW(window, WM_COMMAND, back ? kFrameBack : kFrameForward, 0);
        break;
    case NavigationMethod::HelpCommand:
        PostMessageW(window, WM_COMMAND, back ? kHelpBack : kHelpForward, 0);
        break;
    case NavigationMethod::AppCommand:
        PostMessageW(
            window, WM_APPCOMMAND, reinterpret_cast<WPARAM>(window),
            MAKELPARAM(0, back ? APPCOMMAND_BROWSER_BACKWARD : APPCOMMAND_BROWSER_FORWARD));
        break;
    }
}

void ActivateProcessByPath(const wchar_t* path, void* processSnapshot) {
    // The snapshot is handed over: this function owns and releases it.
    const UniqueHandle snapshot(processSnapshot);
    if (!snapshot) {
        return;
    }
    PROCESSENTRY32W process = {};
    process.dwSize = sizeof(process);
    if (path != nullptr) {
        for (BOOL more = Process32FirstW(snapshot.Get(), &process); more;
             more = Process32NextW(snapshot.Get(), &process)) {
            if (ProcessHasModule(process.th32ProcessID, path)) {
                BringProcessForward(process.th32ProcessID);
            }
        }
    }
}
