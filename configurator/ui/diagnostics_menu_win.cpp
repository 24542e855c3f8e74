#include "diagnostics_menu_win.h"

#include "crash_dumps.h"
#include "settings/diagnostics.h"
#include "settings/diagnostics_win.h"
#include "tray_messages.h"

#include <shellapi.h>

#include <cstring>
#include <iterator>

namespace {

void ShowNotice(HWND window, UINT iconId, const TextSettings& texts, const std::wstring& text) {
    NOTIFYICONDATAW data = {};
    data.cbSize = kTrayIconDataSize;
    data.hWnd = window;
    data.uID = iconId;
    data.uFlags = NIF_INFO;
    lstrcpynW(data.szInfoTitle, texts.LookupDefault(kTitleKey, kDefaultTitle).c_str(),
              static_cast<int>(std::size(data.szInfoTitle)));
    lstrcpynW(data.szInfo, text.c_str(), static_cast<int>(std::size(data.szInfo)));
    data.dwInfoFlags = NIIF_WARNING;
    data.uTimeout = 10000;
    Shell_NotifyIconW(NIM_MODIFY, &data);
}

} // namespace

bool CopyDiagnostics(HWND owner, MouseSession& session, const TextSettings& texts) {
    const std::wstring report = DiagnosticsReport(session, texts);
    if (!OpenClipboard(owner)) {
        return false;
    }
    EmptyClipboard();
    const size_t bytes = (report.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    bool copied = false;
    if (memory != nullptr) {
        if (void* target = GlobalLock(memory)) {
            std::memcpy(target, report.c_str(), bytes);
            GlobalUnlock(memory);
            // On success the clipboard owns the block.
            copied = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        }
        if (!copied) {
            GlobalFree(memory); // still ours: the clipboard did not take it
        }
    }
    CloseClipboard();
    if (copied) {
        const std::wstring text = texts.LookupDefault(
            L"DiagnosticsCopied",
            L"A diagnostics report was copied to the clipboard. Paste it into your message to "
            L"support.");
        MessageBoxW(owner, text.c_str(), texts.LookupDefault(kTitleKey, kDefaultTitle).c_str(),
                    MB_ICONINFORMATION | MB_OK);
    }
    return copied;
}

bool ShowCrashNotices(HWND window, UINT iconId, const TextSettings& texts) {
    bool shown = false;
    for (const auto& [program, dump] : TakeCrashNotices()) {
        shown = true;
        ShowNotice(
            window, iconId, texts,
            FormatCrashNotice(texts.LookupDefault(kCrashNoticeTextKey, kDefaultCrashNotice), dump));
    }
    return shown;
}
