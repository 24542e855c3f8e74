// Helpers of TarnDesk's Wine tests: the real registry, files beside the test program and
// message pumping.
#pragma once

#include <windows.h>

#include <dbt.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "test_harness_win.h"

// The registry value's bytes (empty when missing); its type through `type`.
std::vector<uint8_t> ReadValue(const std::wstring& keyPath, const wchar_t* name,
                               DWORD* type = nullptr, bool* exists = nullptr);
void WriteValue(const std::wstring& keyPath, const wchar_t* name, DWORD type,
                const std::vector<uint8_t>& bytes);
void DeleteValue(const std::wstring& keyPath, const wchar_t* name);
bool KeyExists(const std::wstring& keyPath);
// Removes the whole cache below HKCU\Software\Orvane\Gaming\Settings, and the record of a
// write under way beside it.
void DeleteSettingsTree();
void WriteFileBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);
// A UTF-16LE text with a byte-order mark, as the shipped language files are stored.
std::vector<uint8_t> Utf16File(const std::wstring& text);
// Writes Language\<code>.txt beside the test program.
std::wstring WriteLanguageFile(const std::wstring& code, const std::vector<uint8_t>& bytes);

// A device-interface broadcast carrying `name`, laid out as the system sends it.
std::vector<uint8_t> InterfaceBroadcast(const std::wstring& name,
                                        DWORD type = DBT_DEVTYP_DEVICEINTERFACE);
// The name Wine gives the mouse's configuration interface.
inline constexpr wchar_t kMouseConfigInterface[] =
    L"\\\\?\\hid#vid_f1d0&pid_0084&mi_02&col01#0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";

// Runs `action` on this thread while another thread answers every message box of this
// process with OK; returns the boxes' texts in order.
// Message boxes without a caption of their own carry the system's "Error"; the program's own
// carry its title, "Mouse" without a language file.
std::vector<std::wstring> AnswerMessageBoxes(const std::function<void()>& action,
                                             const wchar_t* caption = L"Error", int answer = IDOK);
