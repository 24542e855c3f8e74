#include "launcher_fixture.h"

#include <cstddef>
#include <cstring>

namespace wake_test {

ScratchFolder::ScratchFolder() {
    static int counter = 0;
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"tarnwake-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter) + L"\\";
    CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path_ + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            DeleteFileW((path_ + found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path_.c_str());
}

std::wstring ScratchFolder::Write(const std::wstring& name, const std::string& bytes) const {
    const std::wstring file = path_ + name;
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(handle);
    }
    return file;
}

std::wstring ScratchFolder::Copy(const std::wstring& from, const std::wstring& name) const {
    const std::wstring file = path_ + name;
    CopyFileW(from.c_str(), file.c_str(), FALSE);
    return file;
}

int ScratchFolder::Starts() const {
    HANDLE handle = CreateFileW((path_ + L"agent_starts.log").c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return 0;
    }
    char buffer[4096];
    DWORD read = 0;
    int lines = 0;
    while (ReadFile(handle, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        for (DWORD i = 0; i < read; ++i) {
            lines += buffer[i] == '\n' ? 1 : 0;
        }
    }
    CloseHandle(handle);
    return lines;
}

int ScratchFolder::WaitForStarts(int expected) const {
    for (int i = 0; i < 200 && Starts() < expected; ++i) {
        Sleep(50);
    }
    Sleep(expected == 0 ? 1500 : 500);
    return Starts();
}

namespace {

bool OpenRunKey(REGSAM view, HKEY* key) {
    return RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRunKey, 0, nullptr, 0, KEY_SET_VALUE | view,
                           nullptr, key, nullptr) == ERROR_SUCCESS;
}

LRESULT CALLBACK AgentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

bool SetRunValueBytes(REGSAM view, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    if (!OpenRunKey(view, &key)) {
        return false;
    }
    const bool ok = RegSetValueExW(key, L"TarnAgent", 0, type, static_cast<const BYTE*>(data),
                                   size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

bool SetRunValue(REGSAM view, const std::wstring& command) {
    return SetRunValueBytes(view, REG_SZ, command.c_str(),
                            static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
}

void DeleteRunValue(REGSAM view) {
    HKEY key = nullptr;
    if (OpenRunKey(view, &key)) {
        RegDeleteValueW(key, L"TarnAgent");
        RegCloseKey(key);
    }
}

AgentWindow::AgentWindow() {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = AgentProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TarnAgentClass";
    RegisterClassExW(&wc);
    window_ = CreateWindowExW(0, L"TarnAgentClass", L"TarnAgentWnd", WS_OVERLAPPEDWINDOW, 0, 0, 10,
                              10, nullptr, nullptr, wc.hInstance, nullptr);
}

AgentWindow::~AgentWindow() {
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
}

std::vector<std::uint32_t> InterfaceBroadcast(std::wstring_view path) {
    const std::size_t bytes =
        offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + (path.size() + 1) * sizeof(wchar_t);
    std::vector<std::uint32_t> storage((bytes + 3) / 4, 0);
    auto* broadcast = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(storage.data());
    broadcast->dbcc_size = static_cast<DWORD>(bytes);
    broadcast->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    // {4d1e55b2-f16f-11cf-88cb-001111000030}: the HID interface class.
    broadcast->dbcc_classguid = {
        0x4d1e55b2, 0xf16f, 0x11cf, {0x88, 0xcb, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
    std::memcpy(broadcast->dbcc_name, path.data(), path.size() * sizeof(wchar_t));
    return storage;
}

LRESULT SendArrival(HWND window, std::wstring_view path) {
    auto storage = InterfaceBroadcast(path);
    return SendMessageW(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                        reinterpret_cast<LPARAM>(storage.data()));
}

} // namespace wake_test
