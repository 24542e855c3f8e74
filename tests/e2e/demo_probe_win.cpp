// The main job's hands and eyes: it drives the release programs on the demo's virtual desktop
// as a user would (the tray menu, the Settings dialog) and checks what the user would see,
// against the virtual mouse and the virtual filter drivers. One verb per step; each prints
// its figure on one line and exits 0, or explains on stderr and exits 1 (2: usage).
//   tarn_demo_probe image FILE                  the demo's memory image
//   tarn_demo_probe keep FILE | restore FILE    the registry keys the demo and the programs write
//   tarn_demo_probe arrival                     TarnWake, the mouse arrives, TarnAgent starts
//   tarn_demo_probe copy                        TarnDesk starts and copies the mouse's memory
//   tarn_demo_probe settings N SHOTDIR          tray menu, "Setting": the dialog on profile N
//   tarn_demo_probe switch N SHOTDIR            the mouse's profile button: the dialog follows
//   tarn_demo_probe apply                       an edit applied in the dialog reaches the mouse
//   tarn_demo_probe battery SHOTDIR             a battery-low event: balloon, blinking icon
//   tarn_demo_probe button                      a button press: the agent's action
//   tarn_demo_probe sheet OUT CAPTION FILE ...  one contact sheet of the screenshots
//   tarn_demo_probe close                       ends the programs
// Profiles are numbered 0..4 on the command line and 1..5 in what is printed, as users see them.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

#include "e2e_harness_win.h"
#include "filter_client_win.h"
#include "vmouse_client_win.h"

namespace tarn::e2e {
namespace {

constexpr wchar_t kDemoDesktop[] = L"TarnDemo";
constexpr wchar_t kDeskClass[] = L"TarnDeskCLass";
constexpr wchar_t kDeskWindow[] = L"TarnDeskWnd";
constexpr wchar_t kAgentClass[] = L"TarnAgentClass";
constexpr wchar_t kAgentWindow[] = L"TarnAgentWnd";
constexpr wchar_t kWakeClass[] = L"TarnWakeClass";
constexpr wchar_t kWakeWindow[] = L"TarnWakeWnd";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kAgentSettingsKey[] = L"Software\\Orvane\\Stilbe\\Settings";

constexpr UINT kDeskCommandClose = 32771;
constexpr UINT kAgentCommandExit = 105;
constexpr int kFirstFunctionCombo = 221; // button n's function: 221 + n
constexpr int kApplyButton = 303;
constexpr int kCloseButton = 306;
constexpr int kEditedButton = 5;                // button 6: "Button OFF" in the demo's profiles
constexpr int kDoubleClick = 6;                 // its new function
constexpr double kCopyFloorMs = 6 * 800.0;      // six blocks x 8 pages x (10 x 5 ms + 50 ms)
constexpr double kPollMs = 500.0;               // the dialog's poll of the active profile
constexpr double kFollowSlackMs = 100.0;        // the query and the refresh after a poll
constexpr uint32_t kPageUpButtonMask = 1u << 5; // button 6; TarnAgent's default: Page Up

// Fails the verb: the message on stderr, exit code 1.
int Fail(const std::wstring& message) {
    fwprintf(stderr, L"%ls\n", message.c_str());
    return 1;
}

int Usage() {
    fwprintf(stderr, L"usage: tarn_demo_probe image FILE | keep FILE | restore FILE | arrival | "
                     L"copy | settings N SHOTDIR | switch N SHOTDIR | apply | battery SHOTDIR | "
                     L"button | sheet OUT CAPTION FILE... | close\n");
    return 2;
}

std::wstring FullPath(const std::wstring& path) {
    wchar_t full[MAX_PATH] = {};
    return GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr) ? full : path;
}

std::optional<std::vector<uint8_t>> ReadBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::vector<uint8_t> bytes(GetFileSize(file, nullptr));
    DWORD got = 0;
    const BOOL ok = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
    if (!ok || got != bytes.size())
        return std::nullopt;
    return bytes;
}

bool WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD wrote = 0;
    const BOOL ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr);
    CloseHandle(file);
    return ok && wrote == bytes.size();
}

// ---- The memory image ----

std::wstring AreaName(size_t area) {
    return area == 0 ? std::wstring(L"the header") : L"profile " + std::to_wstring(area);
}

// Reset's defaults, each profile at its own resolution (800, 1600, 2400, 3200 and 400 dpi),
// so a switch of profile shows in the dialog's numbers as well as in its profile buttons.
int MakeImage(const std::wstring& path) {
    virt::MemoryImage image = virt::DefaultsAfterReset(virt::MemoryImage{});
    const uint8_t steps[5] = {8, 16, 24, 32, 4};
    for (size_t profile = 0; profile < 5; ++profile) {
        uint8_t* settings = image.data() + 64 + 8 * profile;
        settings[3] = settings[4] = steps[profile];
    }
    return WriteBytes(path, std::vector<uint8_t>(image.begin(), image.end()))
               ? 0
               : Fail(L"cannot write " + path);
}

// ---- Registry keys kept across the demo ----

struct KeptKey {
    HKEY root;
    const wchar_t* path;
    REGSAM view;
};
// What the demo and the programs write: TarnWake's start command (the 32-bit view, where a
// 32-bit program reads it), TarnDesk's cache and TarnAgent's settings key, the pointer speed
// that Apply sets, the demo's virtual desktop, and the memory and active profile that the
// virtual mouse keeps.
const KeptKey kKeptKeys[] = {
    {HKEY_LOCAL_MACHINE, kRunKey, KEY_WOW64_32KEY},
    {HKEY_CURRENT_USER, L"Software\\Orvane", 0},
    {HKEY_CURRENT_USER, L"Control Panel\\Mouse", 0},
    {HKEY_CURRENT_USER, L"Software\\Wine\\Explorer\\Desktops", 0},
    {HKEY_LOCAL_MACHINE, TARN_VMOUSE_PARAMETERS_KEY, 0},
};

void PutU32(std::vector<uint8_t>* out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutText(std::vector<uint8_t>* out, const std::wstring& text) {
    PutU32(out, static_cast<uint32_t>(text.size()));
    for (wchar_t c : text) {
        out->push_back(static_cast<uint8_t>(c & 0xFF));
        out->push_back(static_cast<uint8_t>(c >> 8));
    }
}

// A key as: values (name, type, data), then subkeys (name, key), each list counted.
void SaveKey(HKEY key, std::vector<uint8_t>* out) {
    std::vector<std::wstring> names;
    std::vector<std::pair<DWORD, std::vector<uint8_t>>> values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD nameCount = 16384, type = 0, size = 0;
        if (RegEnumValueW(key, i, name, &nameCount, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS)
            break;
        std::vector<uint8_t> data(size);
        nameCount = 16384;
        RegEnumValueW(key, i, name, &nameCount, nullptr, &type, data.data(), &size);
        data.resize(size);
        names.emplace_back(name, nameCount);
        values.emplace_back(type, std::move(data));
    }
    PutU32(out, static_cast<uint32_t>(names.size()));
    for (size_t i = 0; i < names.size(); ++i) {
        PutText(out, names[i]);
        PutU32(out, values[i].first);
        PutU32(out, static_cast<uint32_t>(values[i].second.size()));
        out->insert(out->end(), values[i].second.begin(), values[i].second.end());
    }
    std::vector<std::wstring> subkeys;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameCount = 256;
        if (RegEnumKeyExW(key, i, name, &nameCount, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        subkeys.emplace_back(name, nameCount);
    }
    PutU32(out, static_cast<uint32_t>(subkeys.size()));
    for (const std::wstring& name : subkeys) {
        PutText(out, name);
        HKEY child = nullptr;
        if (RegOpenKeyExW(key, name.c_str(), 0, KEY_READ, &child) == ERROR_SUCCESS) {
            SaveKey(child, out);
            RegCloseKey(child);
        } else {
            PutU32(out, 0);
            PutU32(out, 0);
        }
    }
}

struct Reader {
    const std::vector<uint8_t>& bytes;
    size_t at = 0;
    bool ok = true;

    uint32_t U32() {
        if (at + 4 > bytes.size()) {
            ok = false;
            return 0;
        }
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= static_cast<uint32_t>(bytes[at + static_cast<size_t>(i)]) << (8 * i);
        at += 4;
        return value;
    }
    std::wstring Text() {
        const uint32_t count = U32();
        if (!ok || at + 2 * size_t{count} > bytes.size()) {
            ok = false;
            return {};
        }
        std::wstring text;
        for (uint32_t i = 0; i < count; ++i, at += 2)
            text += static_cast<wchar_t>(bytes[at] | (bytes[at + 1] << 8));
        return text;
    }
    std::vector<uint8_t> Data() {
        const uint32_t size = U32();
        if (!ok || at + size > bytes.size()) {
            ok = false;
            return {};
        }
        std::vector<uint8_t> data(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                  bytes.begin() + static_cast<std::ptrdiff_t>(at + size));
        at += size;
        return data;
    }
};

void RestoreKey(HKEY key, REGSAM view, Reader* in) {
    const uint32_t valueCount = in->U32();
    for (uint32_t i = 0; i < valueCount && in->ok; ++i) {
        const std::wstring name = in->Text();
        const DWORD type = in->U32();
        const std::vector<uint8_t> data = in->Data();
        if (in->ok)
            RegSetValueExW(key, name.c_str(), 0, type, data.data(),
                           static_cast<DWORD>(data.size()));
    }
    const uint32_t subkeyCount = in->U32();
    for (uint32_t i = 0; i < subkeyCount && in->ok; ++i) {
        const std::wstring name = in->Text();
        HKEY child = nullptr;
        if (RegCreateKeyExW(key, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                            &child, nullptr) != ERROR_SUCCESS) {
            in->ok = false;
            return;
        }
        RestoreKey(child, view, in);
        RegCloseKey(child);
    }
}

int Keep(const std::wstring& path) {
    std::vector<uint8_t> out;
    for (const KeptKey& kept : kKeptKeys) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(kept.root, kept.path, 0, KEY_READ | kept.view, &key) != ERROR_SUCCESS) {
            out.push_back(0);
            continue;
        }
        out.push_back(1);
        SaveKey(key, &out);
        RegCloseKey(key);
    }
    return WriteBytes(path, out) ? 0 : Fail(L"cannot write " + path);
}

int Restore(const std::wstring& path) {
    std::optional<std::vector<uint8_t>> bytes = ReadBytes(path);
    if (!bytes)
        return Fail(L"cannot read " + path);
    Reader in{*bytes};
    for (const KeptKey& kept : kKeptKeys) {
        if (in.at >= bytes->size())
            return Fail(path + L" is cut short");
        const bool present = (*bytes)[in.at++] != 0;
        HKEY key = nullptr;
        if (RegOpenKeyExW(kept.root, kept.path, 0, KEY_ALL_ACCESS | kept.view, &key) ==
            ERROR_SUCCESS) {
            RegDeleteTreeW(key, nullptr);
            RegCloseKey(key);
            RegDeleteKeyExW(kept.root, kept.path, kept.view, 0);
        }
        if (!present)
            continue;
        if (RegCreateKeyExW(kept.root, kept.path, 0, nullptr, 0, KEY_ALL_ACCESS | kept.view,
                            nullptr, &key, nullptr) != ERROR_SUCCESS)
            return Fail(std::wstring(L"cannot recreate ") + kept.path);
        RestoreKey(key, kept.view, &in);
        RegCloseKey(key);
        if (!in.ok)
            return Fail(path + L" is damaged");
    }
    return 0;
}

// ---- Windows of the programs ----

// The profile whose button the dialog enables (the one it shows), or -1.
int ShownProfile(HWND dialog) {
    int shown = -1;
    for (int i = 0; i < 5; ++i) {
        if (IsWindowEnabled(GetDlgItem(dialog, kFirstProfileButton + i)) == FALSE)
            continue;
        if (shown >= 0)
            return -1;
        shown = i;
    }
    return shown;
}

DWORD ProcessOf(HWND window) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    return id;
}

// The window's thread answers once it is back in its message loop.
bool Responsive(HWND window, DWORD timeoutMs) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

// The programs paint on their own threads: ask for a repaint and give it time.
bool Screenshot(HWND window, const std::wstring& shotDir, const wchar_t* name) {
    if (window)
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    PumpMessagesFor(600, 2);
    return SaveScreenshotTo(shotDir + L"\\" + name + L".bmp");
}

void Click(int x, int y) {
    SetCursorPos(x, y);
    PumpMessagesFor(50, 2);
    mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
}

std::wstring Seconds(double ms) {
    wchar_t text[32];
    swprintf(text, 32, L"%.2f s", ms / 1000.0);
    return text;
}

// ---- The steps ----

bool ReadersArmed() {
    for (int device = 0; device < TARN_FILTER_DEVICE_COUNT; ++device) {
        std::optional<virt::FilterStatus> status = virt::QueryFilterStatus(device);
        if (!status || !status->armed)
            return false;
    }
    return true;
}

int Arrival() {
    for (const wchar_t* program : {L"TarnWake.exe", L"TarnAgent.exe", L"TarnDesk.exe"})
        KillProcesses(program);
    if (virt::VirtualMousePresent())
        return Fail(L"the mouse is plugged in already; it must arrive while TarnWake waits");
    // TarnWake starts the command of the machine's Run key; the demo runs TarnAgent with its
    // built-in button settings.
    const std::wstring agent = FullPath(ProgramDir() + L"TarnAgent.exe");
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRunKey, 0, nullptr, 0,
                        KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return Fail(L"cannot open the Run key");
    RegSetValueExW(key, L"TarnAgent", 0, REG_SZ, reinterpret_cast<const BYTE*>(agent.c_str()),
                   static_cast<DWORD>((agent.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    RegDeleteTreeW(HKEY_CURRENT_USER, kAgentSettingsKey);

    const std::wstring wakeDir = FullPath(LauncherDir());
    Program wake(wakeDir + L"TarnWake.exe", wakeDir);
    if (!wake.Started())
        return Fail(L"TarnWake did not start from " + wakeDir);
    if (!WaitWindow(kWakeClass, kWakeWindow, 10000))
        return Fail(L"TarnWake's window did not appear");
    wake.Release();

    std::wstring error;
    if (!virt::PlugVirtualMouse(VirtualDir(), &error))
        return Fail(L"plugging the virtual mouse: " + error);
    const double arrived = NowMs();
    HWND window = WaitWindow(kAgentClass, kAgentWindow, 10000);
    if (!window)
        return Fail(L"TarnAgent's window did not appear within 10 s of the mouse's arrival");
    const double took = NowMs() - arrived;
    if (CountProcesses(L"TarnAgent.exe") != 1)
        return Fail(L"not exactly one TarnAgent runs");
    if (!WaitUntil(ReadersArmed, 5000))
        return Fail(L"TarnAgent did not arm a reader on each filter device");
    wprintf(L"TarnAgent's window %ls after the mouse arrived\n", Seconds(took).c_str());
    return 0;
}

int Copy() {
    KillProcesses(L"TarnDesk.exe");
    virt::MouseLink mouse;
    if (!mouse.Open())
        return Fail(L"the mouse is not plugged in");
    std::optional<virt::MemoryImage> memory = mouse.Dump();
    if (!memory)
        return Fail(L"the mouse did not dump its memory");
    DeleteCache();
    const double start = NowMs();
    Program desk(ProgramDir() + L"TarnDesk.exe", ProgramDir());
    if (!desk.Started())
        return Fail(L"TarnDesk did not start");
    const bool copied =
        WaitUntil([&] { return FirstCacheMismatch(*memory) == virt::kAreaCount; }, 30000, 5);
    const double took = NowMs() - start;
    if (!copied) {
        return Fail(L"after 30 s the cache still differs from the mouse's memory in " +
                    AreaName(FirstCacheMismatch(*memory)));
    }
    if (!WaitWindow(kDeskClass, kDeskWindow, 5000))
        return Fail(L"TarnDesk's window did not appear");
    desk.Release();
    wprintf(L"%zu bytes equal after %ls, %.2f x the %.1f s floor\n", memory->size(),
            Seconds(took).c_str(), took / kCopyFloorMs, kCopyFloorMs / 1000.0);
    return 0;
}

// Where the icons of the notification area are: Wine's taskbar draws them itself, from its
// right end leftwards in the order they were added, each a small icon with a 2-pixel border.
std::vector<POINT> TraySlots() {
    std::vector<POINT> slots;
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    RECT rect = {};
    if (!taskbar || !GetClientRect(taskbar, &rect))
        return slots;
    const int width = GetSystemMetrics(SM_CXSMICON) + 4;
    for (int slot = 0; slot < 8; ++slot) {
        POINT center = {rect.right - width * slot - width / 2, (rect.top + rect.bottom) / 2};
        ClientToScreen(taskbar, &center);
        slots.push_back(center);
    }
    return slots;
}

HWND VisibleMenu() {
    for (HWND menu = FindWindowW(L"#32768", nullptr); menu != nullptr;
         menu = FindWindowExW(nullptr, menu, L"#32768", nullptr)) {
        if (IsWindowVisible(menu))
            return menu;
    }
    return nullptr;
}

void RightClick(POINT point) {
    SetCursorPos(point.x, point.y);
    PumpMessagesFor(50, 2);
    mouse_event(MOUSEEVENTF_RIGHTDOWN, 0, 0, 0, 0);
    mouse_event(MOUSEEVENTF_RIGHTUP, 0, 0, 0, 0);
}

// A right-click on TarnDesk's tray icon, then "Setting", the menu's first item. Which icon is
// TarnDesk's shows when its menu opens; another program's menu is dismissed.
int Settings(int profile, const std::wstring& shotDir) {
    HWND window = FindWindowW(kDeskClass, kDeskWindow);
    if (!window)
        return Fail(L"TarnDesk does not run");
    const DWORD desk = ProcessOf(window);
    HWND menu = nullptr;
    for (POINT slot : TraySlots()) {
        RightClick(slot);
        HWND opened = nullptr;
        WaitUntil([&] { return (opened = VisibleMenu()) != nullptr; }, 1500);
        if (opened && ProcessOf(opened) == desk) {
            menu = opened;
            break;
        }
        if (!opened)
            continue;
        keybd_event(VK_ESCAPE, 0, 0, 0);
        keybd_event(VK_ESCAPE, 0, KEYEVENTF_KEYUP, 0);
        if (!WaitUntil([&] { return !IsWindowVisible(opened); }, 3000))
            return Fail(L"another program's tray menu did not close");
    }
    if (!menu)
        return Fail(L"no right-click in the notification area opened TarnDesk's menu");
    if (!Screenshot(nullptr, shotDir, L"tray_menu"))
        return Fail(L"cannot save a screenshot in " + shotDir);
    RECT rect = {};
    GetWindowRect(menu, &rect);
    const int itemHeight = GetSystemMetrics(SM_CYMENUSIZE);
    Click(rect.left + 3 * itemHeight, rect.top + 3 + itemHeight / 2);
    const double clicked = NowMs();
    HWND dialog = nullptr;
    if (!WaitUntil([&] { return (dialog = FindSettingsDialog(desk)) != nullptr; }, 10000))
        return Fail(L"\"Setting\" did not open the Settings dialog");
    if (!WaitUntil([&] { return ShownProfile(dialog) == profile; }, 5000)) {
        return Fail(L"the Settings dialog shows profile " +
                    std::to_wstring(ShownProfile(dialog) + 1) + L", the mouse's is profile " +
                    std::to_wstring(profile + 1));
    }
    const double took = NowMs() - clicked;
    // The pointer leaves the notification area for the dialog, so no icon's tip stays up.
    RECT dialogRect = {};
    GetWindowRect(dialog, &dialogRect);
    SetCursorPos((dialogRect.left + dialogRect.right) / 2, dialogRect.bottom - 8);
    mouse_event(MOUSEEVENTF_MOVE, 1, 0, 0, 0);
    Screenshot(dialog, shotDir, L"settings");
    wprintf(L"the dialog shows profile %d, the mouse's active one, %ls after the click\n",
            profile + 1, Seconds(took).c_str());
    return 0;
}

int Switch(int profile, const std::wstring& shotDir) {
    HWND window = FindWindowW(kDeskClass, kDeskWindow);
    HWND dialog = window ? FindSettingsDialog(ProcessOf(window)) : nullptr;
    if (!dialog)
        return Fail(L"no Settings dialog is open");
    virt::MouseLink mouse;
    if (!mouse.Open())
        return Fail(L"the mouse is not plugged in");
    if (!mouse.Command(TARN_VMOUSE_PRESS_SWITCH, 0, profile))
        return Fail(L"the mouse refused the switch");
    const double pressed = NowMs();
    const bool followed = WaitUntil([&] { return ShownProfile(dialog) == profile; }, 3000, 1);
    const double took = NowMs() - pressed;
    if (!followed)
        return Fail(L"the dialog did not follow the mouse to profile " +
                    std::to_wstring(profile + 1) + L" within 3 s");
    Screenshot(dialog, shotDir, L"settings_switched");
    // The dialog learns of a switch at its next poll; the query and the refresh follow.
    if (took > kPollMs + kFollowSlackMs) {
        return Fail(L"the dialog followed after " + std::to_wstring(static_cast<int>(took)) +
                    L" ms, more than one 500 ms poll");
    }
    wprintf(L"profile %d shown %.0f ms after the mouse's switch (poll %.0f ms)\n", profile + 1,
            took, kPollMs);
    return 0;
}

int Apply() {
    HWND window = FindWindowW(kDeskClass, kDeskWindow);
    HWND dialog = window ? FindSettingsDialog(ProcessOf(window)) : nullptr;
    if (!dialog)
        return Fail(L"no Settings dialog is open");
    const int profile = ShownProfile(dialog);
    if (profile < 0)
        return Fail(L"the dialog shows no single profile");
    virt::MouseLink mouse;
    if (!mouse.Open())
        return Fail(L"the mouse is not plugged in");
    std::optional<virt::MemoryImage> before = mouse.Dump();
    if (!before)
        return Fail(L"the mouse did not dump its memory");

    HWND combo = GetDlgItem(dialog, kFirstFunctionCombo + kEditedButton);
    SendMessageW(combo, CB_SETCURSEL, kDoubleClick, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kFirstFunctionCombo + kEditedButton, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
    HWND apply = GetDlgItem(dialog, kApplyButton);
    if (!IsWindowEnabled(apply))
        return Fail(L"the edit did not enable Apply");
    wchar_t function[64] = {};
    SendMessageW(combo, CB_GETLBTEXT, kDoubleClick, reinterpret_cast<LPARAM>(function));
    mouse.Command(TARN_VMOUSE_CLEAR_FAULTS);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(kApplyButton, BN_CLICKED),
                 reinterpret_cast<LPARAM>(apply));
    // Apply writes the profile and the header, 16 pages, on TarnDesk's thread.
    auto pagesWritten = [&] {
        std::optional<virt::MouseStatus> status = mouse.Status();
        return status ? status->pagesWritten : 0u;
    };
    if (!WaitUntil([&] { return pagesWritten() >= 16; }, 15000))
        return Fail(L"Apply wrote " + std::to_wstring(pagesWritten()) + L" of 16 pages");
    if (!Responsive(window, 15000) || IsWindowEnabled(apply))
        return Fail(L"Apply did not end");
    std::optional<virt::MemoryImage> after = mouse.Dump();
    if (!after)
        return Fail(L"the mouse did not dump its memory");

    const size_t area = static_cast<size_t>(profile) + 1;
    size_t changed = 0, first = virt::kAreaLength, last = 0;
    for (size_t i = 0; i < virt::kAreaLength; ++i) {
        const size_t at = area * virt::kAreaLength + i;
        if ((*before)[at] == (*after)[at])
            continue;
        ++changed;
        first = std::min(first, i);
        last = std::max(last, i);
    }
    if (changed == 0)
        return Fail(L"the mouse's profile " + std::to_wstring(profile + 1) + L" did not change");
    for (size_t other = 1; other < virt::kAreaCount; ++other) {
        if (other != area && Area(*before, other) != Area(*after, other))
            return Fail(L"Apply changed " + AreaName(other) + L" as well");
    }
    for (size_t checked : {size_t{0}, area}) {
        std::optional<CachedBlock> block = ReadCachedBlock(CacheKeyOfArea(checked));
        if (!block || block->bytes != Area(*after, checked))
            return Fail(L"the cache and the mouse differ in " + AreaName(checked));
    }
    // Page Up, the agent's action in the next step, must not land in the dialog's combo box.
    PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, kCloseButton)),
                 TRUE);
    wprintf(L"button %d set to %ls: %zu bytes of profile %d changed (at %zu-%zu), mouse = cache\n",
            kEditedButton + 1, function, changed, profile + 1, first, last);
    return 0;
}

// A visible balloon of the notification area; its text.
HWND FindBalloon(std::wstring* text) {
    for (HWND w = FindWindowW(TOOLTIPS_CLASSW, nullptr); w != nullptr;
         w = FindWindowExW(nullptr, w, TOOLTIPS_CLASSW, nullptr)) {
        if (!IsWindowVisible(w) || (GetWindowLongW(w, GWL_STYLE) & TTS_BALLOON) == 0)
            continue;
        wchar_t buffer[256] = {};
        DWORD_PTR result = 0;
        SendMessageTimeoutW(w, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL, 1000,
                            &result);
        *text = buffer;
        return w;
    }
    return nullptr;
}

// The pixels of the taskbar (where the tray icons are), or of the desktop's bottom strip.
std::vector<uint8_t> TaskbarPixels() {
    RECT rect = {};
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    if (!taskbar || !GetWindowRect(taskbar, &rect) || rect.right <= rect.left) {
        GetWindowRect(GetDesktopWindow(), &rect);
        rect.top = rect.bottom - 48;
    }
    return CaptureScreen(rect, 32);
}

int Battery(const std::wstring& shotDir) {
    if (!FindWindowW(kAgentClass, kAgentWindow))
        return Fail(L"TarnAgent does not run");
    if (!WaitUntil(ReadersArmed, 5000))
        return Fail(L"TarnAgent's readers are not armed");
    virt::InjectRequest low;
    low.battery = 1;
    if (!virt::InjectRecord(TARN_FILTER_HID_LOWER, low))
        return Fail(L"the filter device refused the battery event");
    const double sent = NowMs();
    std::wstring text;
    HWND balloon = nullptr;
    // The notification area shows a balloon a moment after it is asked to.
    if (!WaitUntil([&] { return (balloon = FindBalloon(&text)) != nullptr; }, 8000))
        return Fail(L"no balloon appeared within 8 s of the battery event");
    const double shown = NowMs() - sent;
    // The icon blinks every 500 ms: count the changes of the taskbar over 2 s.
    int changes = 0;
    std::vector<uint8_t> previous = TaskbarPixels();
    for (int i = 0; i < 16; ++i) {
        PumpMessagesFor(125, 2);
        std::vector<uint8_t> now = TaskbarPixels();
        if (now != previous)
            ++changes;
        previous = std::move(now);
    }
    Screenshot(nullptr, shotDir, L"battery");
    if (changes < 2)
        return Fail(L"the tray icon did not blink (" + std::to_wstring(changes) +
                    L" changes in 2 s)");
    wprintf(L"balloon \"%ls\" after %ls, icon changed %d times in 2 s\n", text.c_str(),
            Seconds(shown).c_str(), changes);
    return 0;
}

// Button 6 pressed and released; TarnAgent's default action for it is the Page Up key. The
// battery stays low, so the icon keeps blinking.
int Button() {
    if (!WaitUntil(ReadersArmed, 5000))
        return Fail(L"TarnAgent's readers are not armed");
    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardHook, GetModuleHandleW(nullptr), 0);
    if (!hook)
        return Fail(L"cannot watch the keyboard");
    std::vector<std::pair<DWORD, bool>> keys;
    seenKeys = &keys;
    virt::InjectRequest press;
    press.buttons = kPageUpButtonMask;
    press.battery = 1;
    virt::InjectRequest release;
    release.battery = 1;
    bool injected = virt::InjectRecord(TARN_FILTER_HID_LOWER, press);
    PumpMessagesFor(50, 2);
    injected = injected && virt::InjectRecord(TARN_FILTER_HID_LOWER, release);
    const double released = NowMs();
    double seen = 0;
    const bool typed = injected && WaitUntil(
                                       [&] {
                                           for (auto [key, down] : keys)
                                               if (key == VK_PRIOR && !down) {
                                                   seen = seen > 0 ? seen : NowMs();
                                                   return true;
                                               }
                                           return false;
                                       },
                                       3000, 1);
    UnhookWindowsHookEx(hook);
    seenKeys = nullptr;
    if (!injected)
        return Fail(L"the filter device refused the button events");
    if (!typed)
        return Fail(L"no Page Up within 3 s of button 6's release (" +
                    std::to_wstring(keys.size()) + L" key events seen)");
    wprintf(L"button 6 released: Page Up typed %.0f ms later\n", seen - released);
    return 0;
}

// The screenshots at half size, two to a row, each with its caption above it.
int Sheet(const std::wstring& outPath,
          const std::vector<std::pair<std::wstring, std::wstring>>& shots) {
    constexpr int kTileWidth = 512, kTileHeight = 384, kCaption = 24, kGap = 8;
    const int columns = shots.size() > 1 ? 2 : 1;
    const int rows = static_cast<int>((shots.size() + 1) / 2);
    const int width = columns * kTileWidth + (columns + 1) * kGap;
    const int height = rows * (kTileHeight + kCaption + kGap) + kGap;
    const WindowDc screen(nullptr);
    const UniqueMemoryDc sheetDc(CreateCompatibleDC(screen.Get()));
    const UniqueMemoryDc tileDc(CreateCompatibleDC(screen.Get()));
    void* bits = nullptr;
    const UniqueBitmap bitmap = CreateDib(width, height, 24, &bits);
    if (!bitmap || !sheetDc || !tileDc)
        return Fail(L"cannot make the contact sheet");
    HDC sheet = sheetDc.Get(), tile = tileDc.Get();
    HGDIOBJ oldSheet = SelectObject(sheet, bitmap.Get());
    RECT all = {0, 0, width, height};
    FillRect(sheet, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetStretchBltMode(sheet, HALFTONE);
    SetBrushOrgEx(sheet, 0, 0, nullptr);
    const UniqueFont font(CreateFontW(-16, 0, 0, 0, FW_SEMIBOLD, FALSE, FALSE, FALSE,
                                      DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                      DEFAULT_QUALITY, DEFAULT_PITCH, L"Tahoma"));
    HGDIOBJ oldFont = SelectObject(sheet, font.Get());
    SetBkMode(sheet, TRANSPARENT);
    bool ok = true;
    for (size_t i = 0; i < shots.size(); ++i) {
        const int x = kGap + static_cast<int>(i % 2) * (kTileWidth + kGap);
        const int y = kGap + static_cast<int>(i / 2) * (kTileHeight + kCaption + kGap);
        RECT caption = {x, y, x + kTileWidth, y + kCaption};
        DrawTextW(sheet, shots[i].first.c_str(), -1, &caption,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
        const UniqueBitmap picture(static_cast<HBITMAP>(
            LoadImageW(nullptr, shots[i].second.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE)));
        if (!picture) {
            ok = false;
            continue;
        }
        BITMAP size = {};
        GetObjectW(picture.Get(), sizeof(size), &size);
        HGDIOBJ oldTile = SelectObject(tile, picture.Get());
        StretchBlt(sheet, x, y + kCaption, kTileWidth, kTileHeight, tile, 0, 0, size.bmWidth,
                   size.bmHeight, SRCCOPY);
        SelectObject(tile, oldTile);
    }
    SelectObject(sheet, oldFont);
    GdiFlush();
    SelectObject(sheet, oldSheet);
    if (!ok)
        return Fail(L"a screenshot of the contact sheet cannot be read");
    return WriteBmpFile(outPath, width, height, 24, static_cast<const uint8_t*>(bits))
               ? 0
               : Fail(L"cannot write " + outPath);
}

int Close() {
    if (HWND desk = FindWindowW(kDeskClass, kDeskWindow))
        PostMessageW(desk, WM_COMMAND, kDeskCommandClose, 0);
    if (HWND agent = FindWindowW(kAgentClass, kAgentWindow))
        PostMessageW(agent, WM_COMMAND, kAgentCommandExit, 0);
    if (HWND wake = FindWindowW(kWakeClass, kWakeWindow))
        PostMessageW(wake, WM_CLOSE, 0, 0);
    WaitUntil(
        [] {
            return CountProcesses(L"TarnDesk.exe") + CountProcesses(L"TarnAgent.exe") +
                       CountProcesses(L"TarnWake.exe") ==
                   0;
        },
        5000);
    for (const wchar_t* program : {L"TarnWake.exe", L"TarnAgent.exe", L"TarnDesk.exe"})
        KillProcesses(program);
    return 0;
}

} // namespace
} // namespace tarn::e2e

int wmain(int argc, wchar_t** argv) {
    using namespace tarn::e2e;
    if (argc < 2)
        return Usage();
    const std::wstring verb = argv[1];
    auto profileAt = [&](int index) {
        const long value = std::wcstol(argv[index], nullptr, 10);
        return value >= 0 && value <= 4 ? static_cast<int>(value) : -1;
    };
    if (verb == L"image" && argc == 3)
        return MakeImage(argv[2]);
    if (verb == L"keep" && argc == 3)
        return Keep(argv[2]);
    if (verb == L"restore" && argc == 3)
        return Restore(argv[2]);
    if (verb == L"sheet" && argc >= 5 && argc % 2 == 1) {
        std::vector<std::pair<std::wstring, std::wstring>> shots;
        for (int i = 3; i + 1 < argc; i += 2)
            shots.emplace_back(argv[i], argv[i + 1]);
        return Sheet(argv[2], shots);
    }
    if (verb == L"close" && argc == 2) {
        // Without the desktop no program of the demo runs on it.
        HDESK desktop = OpenDesktopW(kDemoDesktop, 0, FALSE, GENERIC_ALL);
        if (!desktop || !SetThreadDesktop(desktop))
            return 0;
        return Close();
    }
    if (!EnterTestDesktop(kDemoDesktop))
        return Fail(L"cannot enter the demo's desktop");
    if (verb == L"arrival" && argc == 2)
        return Arrival();
    if (verb == L"copy" && argc == 2)
        return Copy();
    if (verb == L"settings" && argc == 4 && profileAt(2) >= 0)
        return Settings(profileAt(2), argv[3]);
    if (verb == L"switch" && argc == 4 && profileAt(2) >= 0)
        return Switch(profileAt(2), argv[3]);
    if (verb == L"apply" && argc == 2)
        return Apply();
    if (verb == L"battery" && argc == 3)
        return Battery(argv[2]);
    if (verb == L"button" && argc == 2)
        return Button();
    return Usage();
}
