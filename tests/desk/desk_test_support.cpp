#include "desk_test_support.h"

#include "profile_cache.h"

#include <dbt.h>

#include <atomic>
#include <cstddef>
#include <cstring>
#include <thread>

std::vector<uint8_t> ReadValue(const std::wstring& keyPath, const wchar_t* name, DWORD* type,
                               bool* exists) {
    if (exists != nullptr) {
        *exists = false;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return {};
    }
    DWORD size = 0;
    DWORD valueType = REG_NONE;
    std::vector<uint8_t> bytes;
    if (RegQueryValueExW(key, name, nullptr, &valueType, nullptr, &size) == ERROR_SUCCESS) {
        bytes.resize(size);
        RegQueryValueExW(key, name, nullptr, &valueType, bytes.data(), &size);
        bytes.resize(size);
        if (exists != nullptr) {
            *exists = true;
        }
    }
    if (type != nullptr) {
        *type = valueType;
    }
    RegCloseKey(key);
    return bytes;
}

void WriteValue(const std::wstring& keyPath, const wchar_t* name, DWORD type,
                const std::vector<uint8_t>& bytes) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
        RegSetValueExW(key, name, 0, type, bytes.data(), static_cast<DWORD>(bytes.size()));
        RegCloseKey(key);
    }
}

void DeleteValue(const std::wstring& keyPath, const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_ALL_ACCESS, &key) ==
        ERROR_SUCCESS) {
        RegDeleteValueW(key, name);
        RegCloseKey(key);
    }
}

bool KeyExists(const std::wstring& keyPath) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

void DeleteSettingsTree() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKeyPath);
    RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsKeyPath);
}

std::wstring TestProgramDirectory() {
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    std::wstring directory(path);
    return directory.substr(0, directory.rfind(L'\\') + 1);
}

void WriteFileBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::vector<uint8_t> Utf16File(const std::wstring& text) {
    std::vector<uint8_t> bytes = {0xFF, 0xFE};
    for (wchar_t c : text) {
        bytes.push_back(static_cast<uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    return bytes;
}

std::wstring WriteLanguageFile(const std::wstring& code, const std::vector<uint8_t>& bytes) {
    const std::wstring folder = TestProgramDirectory() + L"Language";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring path = folder + L"\\" + code + L".txt";
    WriteFileBytes(path, bytes);
    return path;
}

void PumpMessagesFor(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

// A device-interface broadcast with `name`, laid out as the system sends it.
std::vector<uint8_t> InterfaceBroadcast(const std::wstring& name, DWORD type) {
    const size_t nameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
    std::vector<uint8_t> bytes(nameOffset + (name.size() + 1) * sizeof(wchar_t), 0);
    auto* broadcast = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(bytes.data());
    broadcast->dbcc_size = static_cast<DWORD>(bytes.size());
    broadcast->dbcc_devicetype = type;
    std::memcpy(bytes.data() + nameOffset, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
    return bytes;
}

std::vector<std::wstring> AnswerMessageBoxes(const std::function<void()>& action) {
    std::vector<std::wstring> texts;
    std::atomic<bool> done{false};
    std::thread answerer([&] {
        while (!done) {
            // Message boxes without a caption of their own carry the system's "Error".
            HWND box = FindWindowW(L"#32770", L"Error");
            DWORD process = 0;
            if (box != nullptr) {
                GetWindowThreadProcessId(box, &process);
            }
            if (box == nullptr || process != GetCurrentProcessId() || !IsWindowVisible(box)) {
                Sleep(10);
                continue;
            }
            wchar_t text[512] = {};
            GetDlgItemTextW(box, 0xFFFF, text, 512);
            texts.push_back(text);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            while (IsWindow(box) && !done) {
                Sleep(10);
            }
        }
    });
    action();
    PumpMessagesFor(50);
    done = true;
    answerer.join();
    return texts;
}
