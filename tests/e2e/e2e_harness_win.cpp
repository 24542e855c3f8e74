#include "e2e_harness_win.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cwchar>

#include "device_install_win.h"

namespace tarn::e2e {

namespace {

constexpr wchar_t kCacheBase[] = L"Software\\Orvane\\Gaming\\Settings";

void SetString(HKEY root, const wchar_t* path, const wchar_t* name, const wchar_t* value) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

void SetDword(HKEY root, const wchar_t* path, const wchar_t* name, DWORD value) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    RegCloseKey(key);
}

// The desktop that programs start on; written only by EnterTestDesktop.
std::wstring enteredDesktop = kDesktopName;

} // namespace

std::wstring TestsDir() {
    return virt::ToolDirectory();
}

std::wstring ProgramDir() {
    return TestsDir() + L"..\\bin\\";
}

std::wstring VirtualDir() {
    return TestsDir() + L"..\\virtual\\";
}

std::wstring LauncherDir() {
    return TestsDir() + L"..\\..\\win32\\bin\\";
}

std::wstring ArtifactDir() {
    std::wstring dir = TestsDir() + L"..\\e2e-artifacts\\";
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

bool EnterTestDesktop(const wchar_t* name) {
    // Wine gives a named desktop a window of this size, and a taskbar with EnableShell.
    SetString(HKEY_CURRENT_USER, L"Software\\Wine\\Explorer\\Desktops", name, L"1024x768");
    SetDword(HKEY_CURRENT_USER,
             (std::wstring(L"Software\\Wine\\Explorer\\Desktops\\") + name).c_str(), L"EnableShell",
             1);
    // The desktop's own process is started here, without this process's standard handles:
    // had Wine started it on demand, it would inherit them and keep the test runner's output
    // pipe open long after the test.
    HDESK desktop = OpenDesktopW(name, 0, FALSE, GENERIC_ALL);
    if (!desktop) {
        std::wstring command = std::wstring(L"explorer.exe /desktop=") + name + L",1024x768";
        RunDetached(command);
        WaitUntil([&] { return (desktop = OpenDesktopW(name, 0, FALSE, GENERIC_ALL)) != nullptr; },
                  10000);
    }
    if (!desktop || !SetThreadDesktop(desktop))
        return false;
    enteredDesktop = name;
    return GetDesktopWindow() != nullptr;
}

Program::Program(const std::wstring& exePath, const std::wstring& workingDir) {
    process_ =
        RunDetached(L"\"" + exePath + L"\"", enteredDesktop.c_str(), workingDir.c_str(), &id_);
}

Program::~Program() {
    Kill();
}

Program::Program(Program&& other) noexcept = default;

Program& Program::operator=(Program&& other) noexcept {
    if (this != &other) {
        Kill();
        process_ = std::move(other.process_);
        id_ = other.id_;
    }
    return *this;
}

bool Program::WaitExit(DWORD timeoutMs) {
    if (!process_)
        return true;
    return WaitUntil([this] { return WaitForSingleObject(process_.Get(), 0) == WAIT_OBJECT_0; },
                     timeoutMs);
}

void Program::Release() {
    process_.Reset();
}

void Program::Kill() {
    if (!process_)
        return;
    if (WaitForSingleObject(process_.Get(), 0) != WAIT_OBJECT_0) {
        TerminateProcess(process_.Get(), 1);
        WaitForSingleObject(process_.Get(), 5000);
    }
    process_.Reset();
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD stepMs) {
    const double end = NowMs() + timeoutMs;
    for (;;) {
        if (condition())
            return true;
        if (NowMs() >= end)
            return false;
        PumpMessagesFor(stepMs, 2);
    }
}

HWND WaitWindow(const wchar_t* className, const wchar_t* windowName, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindWindowW(className, windowName)) != nullptr; }, timeoutMs);
    return found;
}

int CountProcesses(const wchar_t* exeName) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    int count = 0;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, exeName) == 0)
            ++count;
    CloseHandle(snapshot);
    return count;
}

void KillProcesses(const wchar_t* exeName) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, exeName) != 0)
            continue;
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
        if (!process)
            continue;
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
    CloseHandle(snapshot);
}

std::optional<CachedBlock> ReadCachedBlock(int n) {
    wchar_t path[300];
    wsprintfW(path, L"%s\\%d", kCacheBase, n);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    CachedBlock block;
    DWORD size = 0;
    const wchar_t* name = n == 255 ? L"pHeader" : L"pData";
    std::optional<CachedBlock> result;
    if (RegQueryValueExW(key, name, nullptr, &block.type, nullptr, &size) == ERROR_SUCCESS) {
        block.bytes.resize(size);
        if (RegQueryValueExW(key, name, nullptr, &block.type, block.bytes.data(), &size) ==
            ERROR_SUCCESS)
            result = block;
    }
    RegCloseKey(key);
    return result;
}

void StoreCachedArea(size_t area, const std::vector<uint8_t>& bytes) {
    wchar_t path[300];
    wsprintfW(path, L"Software\\Orvane\\Gaming\\Settings\\%d",
              static_cast<int>(CacheKeyOfArea(area)));
    RegSetKeyValueW(HKEY_CURRENT_USER, path, area == 0 ? L"pHeader" : L"pData", REG_BINARY,
                    bytes.data(), static_cast<DWORD>(bytes.size()));
}

namespace {

std::wstring HistoryFolder() {
    wchar_t local[MAX_PATH] = {};
    GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH);
    return std::wstring(local) + L"\\Orvane\\Gaming Mouse\\History\\";
}

} // namespace

std::vector<std::wstring> HistoryFiles() {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found = {};
    HANDLE search = FindFirstFileW((HistoryFolder() + L"*.tarnprofiles").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do
        names.emplace_back(found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

void ClearHistory() {
    for (const std::wstring& name : HistoryFiles())
        DeleteFileW((HistoryFolder() + name).c_str());
}

void DeleteCache() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kCacheBase);
    // A write cut off in an earlier test must not be finished in this one.
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane\\Gaming\\PendingWrite");
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Orvane\\Gaming\\PendingWrite");
}

HWND FindSettingsDialog(DWORD processId) {
    struct Search {
        DWORD processId;
        HWND found;
    } search = {processId, nullptr};
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto* s = reinterpret_cast<Search*>(parameter);
            wchar_t className[16] = {};
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            GetClassNameW(window, className, 16);
            if (owner == s->processId && wcscmp(className, L"#32770") == 0 &&
                GetDlgItem(window, kFirstProfileButton)) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<uint8_t> Area(const virt::MemoryImage& image, size_t area) {
    return std::vector<uint8_t>(
        image.begin() + static_cast<std::ptrdiff_t>(area * virt::kAreaLength),
        image.begin() + static_cast<std::ptrdiff_t>((area + 1) * virt::kAreaLength));
}

int CacheKeyOfArea(size_t area) {
    return area == 0 ? 255 : static_cast<int>(area - 1);
}

size_t FirstCacheMismatch(const virt::MemoryImage& image) {
    for (size_t area = 0; area < virt::kAreaCount; ++area) {
        std::optional<CachedBlock> block = ReadCachedBlock(CacheKeyOfArea(area));
        if (!block || block->type != REG_BINARY || block->bytes != Area(image, area))
            return area;
    }
    return virt::kAreaCount;
}

void SetUserDword(const wchar_t* keyPath, const wchar_t* name, DWORD value) {
    HKEY opened = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, keyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened,
                        nullptr) != ERROR_SUCCESS)
        return;
    const UniqueKey key(opened);
    RegSetValueExW(key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof(value));
}

HWND FrontProbeWindow(DWORD processId) {
    for (HWND window = FindWindowW(L"TarnFrontProbe", nullptr); window != nullptr;
         window = FindWindowExW(nullptr, window, L"TarnFrontProbe", nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && IsWindowVisible(window))
            return window;
    }
    return nullptr;
}

std::vector<std::pair<DWORD, bool>>* seenKeys = nullptr;

LRESULT CALLBACK KeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && seenKeys) {
        const auto* info = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        seenKeys->emplace_back(info->vkCode, wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::wstring SaveScreenshot(const std::wstring& name) {
    const std::wstring path = ArtifactDir() + name + L".bmp";
    return SaveScreenshotTo(path) ? path : std::wstring();
}

UniqueBitmap CreateDib(int width, int height, WORD bitCount, void** bits) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = bitCount;
    info.bmiHeader.biCompression = BI_RGB;
    *bits = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0));
    if (!*bits)
        bitmap.Reset();
    return bitmap;
}

size_t DibStride(int width, WORD bitCount) {
    return (static_cast<size_t>(width) * bitCount / 8 + 3) & ~size_t{3};
}

std::vector<uint8_t> CaptureScreen(const RECT& rect, WORD bitCount) {
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return {};
    void* bits = nullptr;
    const UniqueBitmap bitmap = CreateDib(width, height, bitCount, &bits);
    const WindowDc screen(nullptr);
    const UniqueMemoryDc memory(CreateCompatibleDC(screen.Get()));
    if (!bitmap || !memory)
        return {};
    const HGDIOBJ old = SelectObject(memory.Get(), bitmap.Get());
    BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), rect.left, rect.top, SRCCOPY);
    SelectObject(memory.Get(), old);
    const auto* start = static_cast<const uint8_t*>(bits);
    return std::vector<uint8_t>(start,
                                start + DibStride(width, bitCount) * static_cast<size_t>(height));
}

bool WriteBmpFile(const std::wstring& path, int width, int height, WORD bitCount,
                  const uint8_t* rows) {
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = bitCount;
    info.biCompression = BI_RGB;
    const auto imageSize =
        static_cast<DWORD>(DibStride(width, bitCount) * static_cast<size_t>(height));
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + imageSize;
    const UniqueHandle out(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD wrote = 0;
    return out && WriteFile(out.Get(), &file, sizeof(file), &wrote, nullptr) &&
           WriteFile(out.Get(), &info, sizeof(info), &wrote, nullptr) &&
           WriteFile(out.Get(), rows, imageSize, &wrote, nullptr) && wrote == imageSize;
}

bool SaveScreenshotTo(const std::wstring& path) {
    RECT rect = {};
    GetWindowRect(GetDesktopWindow(), &rect);
    const std::vector<uint8_t> rows = CaptureScreen(rect, 24);
    return !rows.empty() &&
           WriteBmpFile(path, rect.right - rect.left, rect.bottom - rect.top, 24, rows.data());
}

} // namespace tarn::e2e
