#include "test_harness_win.h"

#include <vector>

namespace {

void DispatchWaiting() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

} // namespace

std::wstring TestProgramDirectory() {
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    const size_t slash = path.find_last_of(L'\\');
    path.resize(slash == std::wstring::npos ? 0 : slash + 1);
    return path;
}

std::wstring BesideTests(const wchar_t* fileName) {
    return TestProgramDirectory() + fileName;
}

double NowMs() {
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void PumpMessagesFor(DWORD milliseconds, DWORD stepMs) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (;;) {
        DispatchWaiting();
        if (GetTickCount64() >= end) {
            return;
        }
        // Waiting in the message wait (not Sleep) lets Wine flush window surfaces to the screen.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, stepMs, QS_ALLINPUT);
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs, DWORD stepMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() > end) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, stepMs, QS_ALLINPUT);
        DispatchWaiting();
    }
    return true;
}

UniqueHandle RunDetached(const std::wstring& commandLine, const wchar_t* desktopName,
                         const wchar_t* workingDir, DWORD* processId) {
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    std::wstring desktop = desktopName ? desktopName : L"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES; // no standard handles: nothing to inherit
    if (desktopName)
        startup.lpDesktop = desktop.data();
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, workingDir,
                        &startup, &info))
        return UniqueHandle();
    const UniqueHandle thread(info.hThread);
    if (processId)
        *processId = info.dwProcessId;
    return UniqueHandle(info.hProcess);
}

std::vector<std::wstring> LanguageCodesIn(const std::wstring& folder) {
    std::vector<std::wstring> codes;
    WIN32_FIND_DATAW found;
    const UniqueFind search(FindFirstFileW((folder + L"*.txt").c_str(), &found));
    if (!search)
        return codes;
    do {
        const std::wstring name = found.cFileName;
        codes.push_back(name.substr(0, name.size() - 4));
    } while (FindNextFileW(search.Get(), &found));
    return codes;
}
