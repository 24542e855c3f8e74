// What the end-to-end tests share: where the release programs are, a Wine virtual desktop to
// run them in, window and process waits, the configurator's registry cache and screenshots.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "test_harness_win.h"
#include "vmouse_control.h"

namespace tarn::e2e {

inline constexpr wchar_t kDesktopName[] = L"TarnE2E";

// Directories with a trailing backslash.
std::wstring TestsDir();    // build/win64/tests
std::wstring ProgramDir();  // build/win64/bin: TarnDesk.exe, TarnAgent.exe
std::wstring VirtualDir();  // build/win64/virtual: drivers and tools
std::wstring LauncherDir(); // build/win32/bin: TarnWake.exe and its INF
std::wstring ArtifactDir(); // build/win64/e2e-artifacts

// Creates the virtual desktop (with its taskbar, so tray icons show) and moves the calling
// thread onto it, so FindWindowW sees the programs' windows.
bool EnterTestDesktop(const wchar_t* name = kDesktopName);

// A release program started on the desktop entered last; ended (if still running) on
// destruction unless released.
class Program {
  public:
    Program() = default;
    Program(const std::wstring& exePath, const std::wstring& workingDir);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    Program(Program&& other) noexcept;
    Program& operator=(Program&& other) noexcept;

    bool Started() const { return static_cast<bool>(process_); }
    DWORD Id() const { return id_; }
    // True once the process has ended within timeoutMs.
    bool WaitExit(DWORD timeoutMs);
    void Kill();
    // Leaves the process running past this object.
    void Release();

  private:
    UniqueHandle process_;
    DWORD id_ = 0;
};

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD stepMs = 10);
HWND WaitWindow(const wchar_t* className, const wchar_t* windowName, DWORD timeoutMs);
int CountProcesses(const wchar_t* exeName);
void KillProcesses(const wchar_t* exeName);

// The configurator's cache value for block n (0..4 "pData", 255 "pHeader"), if present.
struct CachedBlock {
    DWORD type = 0;
    std::vector<uint8_t> bytes;
};
std::optional<CachedBlock> ReadCachedBlock(int n);
void DeleteCache();
// One area's block in the registry cache, as TarnDesk stores it.
void StoreCachedArea(size_t area, const std::vector<uint8_t>& bytes);
// TarnDesk's history folder (%LOCALAPPDATA%\Orvane\Gaming Mouse\History): its snapshot files'
// names, oldest first, and emptying it.
std::vector<std::wstring> HistoryFiles();
void ClearHistory();

// The Settings dialog's profile buttons: kFirstProfileButton + profile is the enabled one.
inline constexpr int kFirstProfileButton = 201;
// TarnDesk's open Settings dialog in processId, or null.
HWND FindSettingsDialog(DWORD processId);

// Area n of the mouse's memory image (0 the header, 1..5 profiles 0..4) and its cache key.
std::vector<uint8_t> Area(const virt::MemoryImage& image, size_t area);
int CacheKeyOfArea(size_t area);
// The first area whose cache value differs from the image; virt::kAreaCount when all match.
size_t FirstCacheMismatch(const virt::MemoryImage& image);

// Sets a REG_DWORD under HKEY_CURRENT_USER, creating the key.
void SetUserDword(const wchar_t* keyPath, const wchar_t* name, DWORD value);
// The visible window of the front probe (a program brought to the front) run as processId.
HWND FrontProbeWindow(DWORD processId);

// While set, KeyboardHook (a WH_KEYBOARD_LL procedure) appends (virtual key, down) of every key.
extern std::vector<std::pair<DWORD, bool>>* seenKeys;
LRESULT CALLBACK KeyboardHook(int code, WPARAM wParam, LPARAM lParam);

// A bottom-up DIB section; null unless its bits (rows padded to 4 bytes) are in *bits.
UniqueBitmap CreateDib(int width, int height, WORD bitCount, void** bits);
// The rows of a screen rectangle as CreateDib lays them out (24 or 32 bits); empty on failure.
std::vector<uint8_t> CaptureScreen(const RECT& rect, WORD bitCount);
// Writes such rows as a BMP file.
bool WriteBmpFile(const std::wstring& path, int width, int height, WORD bitCount,
                  const uint8_t* rows);

// Saves the test desktop as ArtifactDir()\name.bmp and returns the path ("" on failure).
std::wstring SaveScreenshot(const std::wstring& name);
// Saves the test desktop as a 24-bit BMP file at path.
bool SaveScreenshotTo(const std::wstring& path);

} // namespace tarn::e2e
