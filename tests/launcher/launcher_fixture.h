// Shared by the launcher's Wine tests: a scratch folder with a copy of the stand-in agent,
// the machine-wide Run value, an agent window and arrivals as WM_DEVICECHANGE messages.
#pragma once

#include <windows.h>
#include <dbt.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "test_harness_win.h"

namespace wake_test {

inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kMousePath[] =
    L"\\\\?\\hid#vid_f1d0&pid_0084&mi_02&col01#1&2d595ca7&0&0000#"
    L"{4d1e55b2-f16f-11cf-88cb-001111000030}";

// A fresh folder under the temp path, emptied and removed on destruction.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::wstring& Path() const { return path_; } // with a trailing backslash
    std::wstring Write(const std::wstring& name, const std::string& bytes) const;
    std::wstring Copy(const std::wstring& from, const std::wstring& name) const;
    // Lines the stand-in agent recorded in this folder.
    int Starts() const;
    // Waits until `expected` starts are recorded, then a little longer to catch extra ones.
    int WaitForStarts(int expected) const;

  private:
    std::wstring path_;
};

// Sets or removes the value "TarnAgent" of HKLM's Run key in one registry view
// (KEY_WOW64_64KEY or KEY_WOW64_32KEY).
bool SetRunValue(REGSAM view, const std::wstring& command);
bool SetRunValueBytes(REGSAM view, DWORD type, const void* data, DWORD size);
void DeleteRunValue(REGSAM view);

// A window of class "TarnAgentClass" named "TarnAgentWnd", as a running agent has.
class AgentWindow {
  public:
    AgentWindow();
    ~AgentWindow();
    AgentWindow(const AgentWindow&) = delete;
    AgentWindow& operator=(const AgentWindow&) = delete;
    HWND Handle() const { return window_; }

  private:
    HWND window_ = nullptr;
};

// A DEV_BROADCAST_DEVICEINTERFACE_W for the interface path, sized as the system sizes it.
std::vector<std::uint32_t> InterfaceBroadcast(std::wstring_view path);

// Sends an arrival of the interface to the window (in-process or across processes).
LRESULT SendArrival(HWND window, std::wstring_view path);

} // namespace wake_test
