// The dispatcher on the real desktop: injected keys and clicks seen by low-level hooks,
// messages seen by test windows, sibling tools played by the stand-ins beside the tests.
#include "actions_test_desktop.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "actions.h"
#include "agent_settings.h"
#include "scroll_engine.h"

namespace {
const wchar_t* const kToolClasses[] = {L"veerlineClass", L"scaladoClass", L"lupinaClass"};
const wchar_t* const kToolNames[] = {L"veerline", L"scalado", L"lupina", L"tapsmith", L"chordwell"};

bool WaitFor(const std::function<bool()>& done, DWORD milliseconds = 5000) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    while (!done()) {
        if (GetTickCount64() > end) {
            return false;
        }
        PumpMessagesFor(10, 1);
    }
    return true;
}

bool ToolRuns(const wchar_t* windowClass) {
    return FindWindowW(windowClass, nullptr) != nullptr;
}

std::wstring LogPath(const wchar_t* tool) {
    return BesideTests((std::wstring(tool) + L".log").c_str());
}

// The lines a stand-in has recorded, one per start.
std::vector<std::string> ToolLog(const wchar_t* tool) {
    std::vector<std::string> lines;
    const HANDLE file =
        CreateFileW(LogPath(tool).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return lines;
    }
    char buffer[4096] = {};
    DWORD read = 0;
    ReadFile(file, buffer, sizeof(buffer) - 1, &read, nullptr);
    CloseHandle(file);
    std::istringstream text(std::string(buffer, read));
    for (std::string line; std::getline(text, line);) {
        lines.push_back(line);
    }
    return lines;
}

void StartTool(const wchar_t* tool) {
    std::wstring command = L"\"" + BesideTests((std::wstring(tool) + L".exe").c_str()) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

void SetButtonValue(int button, const wchar_t* name, DWORD type, const void* data, DWORD size) {
    wchar_t keyName[64];
    ASSERT_TRUE(FormatButtonKeyName(button, keyName, 64));
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, keyName, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

void SetButtonString(int button, const wchar_t* name, const std::wstring& text) {
    SetButtonValue(button, name, REG_SZ, text.c_str(),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// Action code for one button, everything else off.
void Assign(int button, uint32_t code) {
    agentSettings.buttonA = 0;
    agentSettings.buttonB = 0;
    if (button <= 5) {
        agentSettings.buttonA = code << (6 * (button - 1));
    } else {
        agentSettings.buttonB = code << (6 * (button - 6));
    }
}

struct Key {
    DWORD vk;
    bool up;
    bool operator==(const Key&) const = default;
};

// Only the per-button keys: the agent's own settings values belong to other tests.
void DeleteButtonKeys() {
    for (int button = 1; button <= 10; ++button) {
        wchar_t keyName[64];
        if (FormatButtonKeyName(button, keyName, 64)) {
            RegDeleteTreeW(HKEY_CURRENT_USER, keyName);
        }
    }
}

class Dispatcher : public ::testing::Test {
  protected:
    void SetUp() override {
        agentSettings = AgentSettings{};
        dragLocked = false;
        CloseAllTools();
        for (const wchar_t* tool : kToolNames) {
            DeleteFileW(LogPath(tool).c_str());
        }
        DeleteButtonKeys();
        front_ = CreateRecordingWindow(L"TarnTestFront", WS_POPUP | WS_VISIBLE, 50, 50, 300, 200);
        ASSERT_NE(front_, nullptr);
        SetForegroundWindow(front_);
        PumpMessagesFor(20, 1);
        input_ = std::make_unique<InputRecorder>();
        ASSERT_TRUE(input_->Active());
        ClearRecordedMessages();
    }
    void TearDown() override {
        input_.reset();
        if (dragLocked) {
            mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
        }
        DestroyWindow(front_);
        CloseAllTools();
        DeleteButtonKeys();
    }
    static void CloseAllTools() {
        for (const wchar_t* windowClass : kToolClasses) {
            for (HWND tool; (tool = FindWindowW(windowClass, nullptr)) != nullptr;) {
                PostMessageW(tool, WM_CLOSE, 0, 0);
                WaitFor([&] { return !IsWindow(tool); });
            }
        }
    }

    // Keys injected since the last call, scan codes checked against the keyboard layout.
    std::vector<Key> TakeKeys(bool zeroScan = false) {
        PumpMessagesFor(20, 1);
        std::vector<Key> keys;
        for (const InjectedKey& k : input_->Keys()) {
            keys.push_back({k.vk, k.up});
            const DWORD scan = zeroScan ? 0 : MapVirtualKeyW(k.vk, MAPVK_VK_TO_VSC);
            EXPECT_EQ(k.scan, scan) << k.vk;
        }
        input_->Clear();
        return keys;
    }

    HWND front_ = nullptr;
    std::unique_ptr<InputRecorder> input_;
};

TEST_F(Dispatcher, DefaultSettingsCloseToolsNavigatePageAndOpenHomepage) {
    for (uint32_t mask : {1u, 2u, 4u}) {
        StartTool(L"veerline");
        StartTool(L"scalado");
        ASSERT_TRUE(
            WaitFor([] { return ToolRuns(L"veerlineClass") && ToolRuns(L"scaladoClass"); }));
        SetForegroundWindow(front_);
        RunButtonActions(mask);
        EXPECT_TRUE(WaitFor([] {
            return !ToolRuns(L"veerlineClass") && !ToolRuns(L"scaladoClass");
        })) << mask;
    }

    SetForegroundWindow(front_);
    ASSERT_EQ(GetForegroundWindow(), front_);
    ClearRecordedMessages();
    RunButtonActions(8 | 16);
    PumpMessagesFor(20, 1);
    const auto commands = RecordedMessages(WM_APPCOMMAND);
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].window, front_);
    EXPECT_EQ(commands[0].wParam, reinterpret_cast<WPARAM>(front_));
    EXPECT_EQ(commands[0].lParam, 0x10000);
    EXPECT_EQ(commands[1].lParam, 0x20000);

    TakeKeys();
    RunButtonActions(32 | 64);
    EXPECT_EQ(
        TakeKeys(),
        (std::vector<Key>{{VK_PRIOR, false}, {VK_PRIOR, true}, {VK_NEXT, false}, {VK_NEXT, true}}));

    SetButtonString(8, L"homepage", BesideTests(L"tapsmith.exe"));
    RunButtonActions(128 | 256 | 512);
    EXPECT_TRUE(WaitFor([] { return ToolLog(L"tapsmith").size() == 1; }));
    EXPECT_TRUE(TakeKeys().empty());
    EXPECT_TRUE(input_->MouseMessages().empty());
}

TEST_F(Dispatcher, TwoButtonsRunInAscendingOrderAndHighBitsAreIgnored) {
    agentSettings.buttonA = (21u << 6) | (22u << 18); // button 2 Page Up, button 4 Page Down
    agentSettings.buttonB = 0;
    TakeKeys();
    RunButtonActions(0xFFFFFC0A);
    EXPECT_EQ(
        TakeKeys(),
        (std::vector<Key>{{VK_PRIOR, false}, {VK_PRIOR, true}, {VK_NEXT, false}, {VK_NEXT, true}}));
    RunButtonActions(0xFFFFFC00);
    EXPECT_TRUE(TakeKeys().empty());
}

TEST_F(Dispatcher, KeyActionsInjectChordsWithLayoutScanCodes) {
    Assign(1, 13);
    RunButtonActions(1);
    EXPECT_EQ(TakeKeys(),
              (std::vector<Key>{{VK_MENU, false}, {VK_F4, false}, {VK_F4, true}, {VK_MENU, true}}));
    Assign(3, 30);
    RunButtonActions(4);
    EXPECT_EQ(TakeKeys(), (std::vector<Key>{{VK_CONTROL, false},
                                            {VK_LWIN, false},
                                            {VK_TAB, false},
                                            {VK_TAB, true},
                                            {VK_LWIN, true},
                                            {VK_CONTROL, true}}));
    Assign(10, 9);
    RunButtonActions(512);
    EXPECT_EQ(TakeKeys(), (std::vector<Key>{
                              {VK_CONTROL, false}, {'X', false}, {'X', true}, {VK_CONTROL, true}}));
}

TEST_F(Dispatcher, WindowsDReleasesWindowsKeyFirstWithoutScanCodes) {
    Assign(2, 24);
    RunButtonActions(2);
    EXPECT_EQ(TakeKeys(true),
              (std::vector<Key>{{VK_LWIN, false}, {'D', false}, {VK_LWIN, true}, {'D', true}}));
}

TEST_F(Dispatcher, UnusedCodesDoNothing) {
    for (uint32_t code = 34; code < 64; ++code) {
        Assign(7, code);
        RunButtonActions(0x3FF);
    }
    Assign(7, 0);
    RunButtonActions(0x3FF);
    PumpMessagesFor(200, 1);
    EXPECT_TRUE(TakeKeys().empty());
    EXPECT_TRUE(input_->MouseMessages().empty());
    EXPECT_TRUE(RecordedMessages().empty());
    for (const wchar_t* windowClass : kToolClasses) {
        EXPECT_FALSE(ToolRuns(windowClass));
    }
    EXPECT_FALSE(dragLocked);
}

TEST_F(Dispatcher, ClicksAndDragLock) {
    Assign(5, 6);
    RunButtonActions(16);
    PumpMessagesFor(20, 1);
    EXPECT_EQ(input_->MouseMessages(),
              (std::vector<WPARAM>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP}));
    input_->Clear();

    Assign(5, 29);
    RunButtonActions(16);
    EXPECT_TRUE(dragLocked);
    RunButtonActions(16);
    EXPECT_FALSE(dragLocked);
    PumpMessagesFor(20, 1);
    EXPECT_EQ(input_->MouseMessages(), (std::vector<WPARAM>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
}

TEST_F(Dispatcher, Action7TogglesVeerlineAndClosesScaladoFirst) {
    StartTool(L"scalado");
    ASSERT_TRUE(WaitFor([] { return ToolRuns(L"scaladoClass"); }));
    Assign(1, 7);
    RunButtonActions(1);
    EXPECT_TRUE(WaitFor([] { return !ToolRuns(L"scaladoClass") && ToolRuns(L"veerlineClass"); }));
    EXPECT_EQ(ToolLog(L"veerline"), (std::vector<std::string>{""}));

    RunButtonActions(1);
    EXPECT_TRUE(WaitFor([] { return !ToolRuns(L"veerlineClass"); }));
    PumpMessagesFor(200, 1);
    EXPECT_FALSE(ToolRuns(L"scaladoClass"));
    EXPECT_EQ(ToolLog(L"veerline").size(), 1u);

    // 23 is the same with the roles swapped; 33 toggles lupina alone.
    StartTool(L"veerline");
    ASSERT_TRUE(WaitFor([] { return ToolRuns(L"veerlineClass"); }));
    Assign(2, 23);
    RunButtonActions(2);
    EXPECT_TRUE(WaitFor([] { return !ToolRuns(L"veerlineClass") && ToolRuns(L"scaladoClass"); }));
    Assign(2, 33);
    RunButtonActions(2);
    EXPECT_TRUE(WaitFor([] { return ToolRuns(L"lupinaClass"); }));
    EXPECT_TRUE(ToolRuns(L"scaladoClass"));
    RunButtonActions(2);
    EXPECT_TRUE(WaitFor([] { return !ToolRuns(L"lupinaClass"); }));
}

TEST_F(Dispatcher, NumberedToolsGetTheButtonNumber) {
    Assign(6, 27);
    RunButtonActions(32);
    EXPECT_TRUE(WaitFor([] { return !ToolLog(L"tapsmith").empty(); }));
    EXPECT_EQ(ToolLog(L"tapsmith"), (std::vector<std::string>{"6"}));

    Assign(10, 28);
    RunButtonActions(512);
    EXPECT_TRUE(WaitFor([] { return !ToolLog(L"chordwell").empty(); }));
    EXPECT_EQ(ToolLog(L"chordwell"), (std::vector<std::string>{"10"}));
}

TEST_F(Dispatcher, HomepageOpensOnlyAUsableStringValue) {
    Assign(3, 25);
    const std::wstring page = BesideTests(L"tapsmith.exe");
    RunButtonActions(4);                   // no key at all
    SetButtonString(2, L"homepage", page); // another button's value
    RunButtonActions(4);
    SetButtonValue(3, L"homepage", REG_BINARY, page.c_str(),
                   static_cast<DWORD>((page.size() + 1) * sizeof(wchar_t)));
    RunButtonActions(4);
    const std::wstring tooLong = std::wstring(130, L'\\') + page;
    SetButtonString(3, L"homepage", tooLong);
    RunButtonActions(4);
    const DWORD number = 5;
    SetButtonValue(3, L"homepage", REG_DWORD, &number, sizeof(number));
    RunButtonActions(4);
    PumpMessagesFor(500, 1);
    EXPECT_TRUE(ToolLog(L"tapsmith").empty());

    SetButtonString(3, L"homepage", page);
    RunButtonActions(4);
    EXPECT_TRUE(WaitFor([] { return ToolLog(L"tapsmith").size() == 1; }));
    // Stored without a terminator (the registry adds one when the character after the data
    // is 0, so it must not be): the characters up to the value's length.
    const std::wstring open = page + L"x";
    SetButtonValue(3, L"homepage", REG_SZ, open.c_str(),
                   static_cast<DWORD>(page.size() * sizeof(wchar_t)));
    RunButtonActions(4);
    EXPECT_TRUE(WaitFor([] { return ToolLog(L"tapsmith").size() == 2; }));
}

TEST_F(Dispatcher, ApplicationOpensAndRunningCopiesComeForward) {
    const std::wstring program = BesideTests(L"veerline.exe");
    Assign(4, 26);
    SetButtonString(4, L"application", program);
    RunButtonActions(8);
    // Its main window is the one to bring forward, once it is shown.
    ASSERT_TRUE(WaitFor([] { return IsWindowVisible(FindWindowW(L"veerlineClass", nullptr)); }));
    EXPECT_EQ(ToolLog(L"veerline").size(), 1u);

    // A running copy is found by its module's full path; another file is not it.
    SetForegroundWindow(front_);
    ASSERT_EQ(GetForegroundWindow(), front_);
    ActivateProcessByPath(BesideTests(L"scalado.exe").c_str(),
                          CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PumpMessagesFor(50, 1);
    EXPECT_EQ(GetForegroundWindow(), front_);
    ActivateProcessByPath(program.c_str(), CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    EXPECT_TRUE(
        WaitFor([] { return GetForegroundWindow() == FindWindowW(L"veerlineClass", nullptr); }));

    // The path as the user typed it, in other letter case, names the same file.
    SetForegroundWindow(front_);
    ASSERT_EQ(GetForegroundWindow(), front_);
    std::wstring otherCase = program;
    for (wchar_t& c : otherCase) {
        c = static_cast<wchar_t>(towupper(c));
    }
    ActivateProcessByPath(otherCase.c_str(), CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    EXPECT_TRUE(
        WaitFor([] { return GetForegroundWindow() == FindWindowW(L"veerlineClass", nullptr); }));
}

// A tool is started only from the agent's own folder: one that is not installed there
// starts nothing, even when a file of its name lies in the current folder or on PATH,
// where a bare name would have been searched for.
TEST_F(Dispatcher, AMissingToolIsNotSearchedForElsewhere) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring elsewhere = std::wstring(temp) + L"tarn_tool_elsewhere";
    CreateDirectoryW(elsewhere.c_str(), nullptr);
    const std::wstring installed = BesideTests(L"chordwell.exe");
    const std::wstring moved = elsewhere + L"\\chordwell.exe";
    DeleteFileW((elsewhere + L"\\chordwell.log").c_str());
    ASSERT_TRUE(MoveFileExW(installed.c_str(), moved.c_str(), MOVEFILE_REPLACE_EXISTING));
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    SetCurrentDirectoryW(elsewhere.c_str());
    wchar_t path[8192] = {};
    GetEnvironmentVariableW(L"PATH", path, 8192);
    SetEnvironmentVariableW(L"PATH", (elsewhere + L";" + path).c_str());

    Assign(10, 28);
    RunButtonActions(512);
    PumpMessagesFor(1000, 1);
    const bool startedElsewhere =
        GetFileAttributesW((elsewhere + L"\\chordwell.log").c_str()) != INVALID_FILE_ATTRIBUTES;

    SetEnvironmentVariableW(L"PATH", path);
    SetCurrentDirectoryW(folder);
    ASSERT_TRUE(MoveFileExW(moved.c_str(), installed.c_str(), MOVEFILE_REPLACE_EXISTING));
    DeleteFileW((elsewhere + L"\\chordwell.log").c_str());
    RemoveDirectoryW(elsewhere.c_str());
    EXPECT_FALSE(startedElsewhere) << "the tool was taken from the current folder or PATH";
    EXPECT_TRUE(ToolLog(L"chordwell").empty());

    // Back in place, the same action starts it.
    RunButtonActions(512);
    EXPECT_TRUE(WaitFor([] { return ToolLog(L"chordwell").size() == 1; }));
}

struct NavigationCase {
    const wchar_t* className;
    const wchar_t* title;
    UINT message; // 0: the browser key is pressed instead
    WPARAM back;  // wParam for Back (WM_COMMAND) or lParam (WM_APPCOMMAND)
    WPARAM forward;
};

TEST_F(Dispatcher, BackAndForwardFollowTheForegroundWindowsClass) {
    const NavigationCase cases[] = {
        {L"CabinetWClass", L"", 0, 0, 0},
        {L"IEFrame", L"", 0, 0, 0},
        {L"GeckoMozillaShell", L"", 0, 0, 0},
        {L"Afx:400000:b:10011:6:0", L"Start - Netscape 6", WM_COMMAND, 32780, 32781},
        {L"Afx:400000:b:10011:6:0", L"Notes", WM_APPCOMMAND, 0x10000, 0x20000},
        {L"HH Parent", L"Help", WM_COMMAND, 204, 209},
        {L"TarnTestViewer", L"Netscape", WM_APPCOMMAND, 0x10000, 0x20000},
    };
    for (const NavigationCase& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<const void*>(c.className));
        HWND window = CreateRecordingWindow(c.className, WS_POPUP | WS_VISIBLE, 120, 120, 300, 200,
                                            nullptr, c.title);
        ASSERT_NE(window, nullptr);
        SetForegroundWindow(window);
        ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == window; }));
        TakeKeys();
        ClearRecordedMessages();
        BrowserNavigate(kNavigateBack);
        BrowserNavigate(kNavigateForward);
        PumpMessagesFor(20, 1);
        const auto keys = input_->Keys();
        if (c.message == 0) {
            ASSERT_EQ(keys.size(), 4u);
            EXPECT_EQ(keys[0].vk, DWORD{VK_BROWSER_BACK});
            EXPECT_EQ(keys[2].vk, DWORD{VK_BROWSER_FORWARD});
            EXPECT_FALSE(keys[0].up);
            EXPECT_TRUE(keys[1].up);
            EXPECT_GE(keys[1].time - keys[0].time, 15u); // held for 20 ms
            EXPECT_TRUE(RecordedMessages(WM_COMMAND).empty());
            EXPECT_TRUE(RecordedMessages(WM_APPCOMMAND).empty());
        } else {
            EXPECT_TRUE(keys.empty());
            const auto got = RecordedMessages(c.message);
            ASSERT_EQ(got.size(), 2u);
            for (const RecordedMessage& m : got) {
                EXPECT_EQ(m.window, window);
            }
            if (c.message == WM_COMMAND) {
                EXPECT_EQ(got[0].wParam, c.back);
                EXPECT_EQ(got[1].wParam, c.forward);
                EXPECT_EQ(got[0].lParam, 0);
            } else {
                EXPECT_EQ(got[0].wParam, reinterpret_cast<WPARAM>(window));
                EXPECT_EQ(got[0].lParam, static_cast<LPARAM>(c.back));
                EXPECT_EQ(got[1].lParam, static_cast<LPARAM>(c.forward));
            }
        }
        DestroyWindow(window);
    }
}

TEST_F(Dispatcher, TiltActionsStepLeftAndRight) {
    HWND view = CreateRecordingWindow(L"TarnTestView", WS_POPUP | WS_VISIBLE, 400, 300, 300, 200);
    ASSERT_TRUE(PlacePointer(view, 50, 50));
    Assign(1, 31);
    RunButtonActions(1);
    EXPECT_EQ(tiltState, 255);
    Assign(2, 32);
    RunButtonActions(2);
    EXPECT_EQ(tiltState, 1);
    PumpMessagesFor(20, 1);
    const auto got = RecordedMessages(WM_HSCROLL);
    ASSERT_EQ(got.size(), 6u);
    EXPECT_EQ(got[0].wParam, WPARAM{SB_LINELEFT});
    EXPECT_EQ(got[5].wParam, WPARAM{SB_LINERIGHT});
    DestroyWindow(view);
}
} // namespace
