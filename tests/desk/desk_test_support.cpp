#include "desk_test_support.h"

#include "handle_owners_win.h"
#include "settings/cache_journal.h"
#include "settings/profile_cache.h"

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
    UniqueKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, key.Put()) !=
        ERROR_SUCCESS) {
        return {};
    }
    DWORD size = 0;
    DWORD valueType = REG_NONE;
    std::vector<uint8_t> bytes;
    if (RegQueryValueExW(key.Get(), name, nullptr, &valueType, nullptr, &size) == ERROR_SUCCESS) {
        bytes.resize(size);
        RegQueryValueExW(key.Get(), name, nullptr, &valueType, bytes.data(), &size);
        bytes.resize(size);
        if (exists != nullptr) {
            *exists = true;
        }
    }
    if (type != nullptr) {
        *type = valueType;
    }
    return bytes;
}

void WriteValue(const std::wstring& keyPath, const wchar_t* name, DWORD type,
                const std::vector<uint8_t>& bytes) {
    UniqueKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        key.Put(), nullptr) == ERROR_SUCCESS) {
        RegSetValueExW(key.Get(), name, 0, type, bytes.data(), static_cast<DWORD>(bytes.size()));
    }
}

void DeleteValue(const std::wstring& keyPath, const wchar_t* name) {
    UniqueKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_ALL_ACCESS, key.Put()) ==
        ERROR_SUCCESS) {
        RegDeleteValueW(key.Get(), name);
    }
}

bool KeyExists(const std::wstring& keyPath) {
    UniqueKey key;
    return RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, key.Put()) ==
           ERROR_SUCCESS;
}

void DeleteSettingsTree() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKeyPath);
    RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsKeyPath);
    // A write cut off in an earlier test must not be finished in this one.
    RegDeleteTreeW(HKEY_CURRENT_USER, kPendingWriteKeyPath);
    RegDeleteKeyW(HKEY_CURRENT_USER, kPendingWriteKeyPath);
}

void WriteFileBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return;
    }
    DWORD written = 0;
    WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
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

std::vector<std::wstring> AnswerMessageBoxes(const std::function<void()>& action,
                                             const wchar_t* caption, int answer) {
    std::vector<std::wstring> texts;
    std::atomic<bool> done{false};
    std::thread answerer([&] {
        while (!done) {
            HWND box = FindWindowW(L"#32770", caption);
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
            PostMessageW(box, WM_COMMAND, answer, 0);
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
