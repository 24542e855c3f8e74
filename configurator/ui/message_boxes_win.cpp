#include "message_boxes_win.h"

#include "settings/diagnostics_win.h"

void ShowWriteFailed(HWND owner, const TextSettings& texts) {
    RecordDeskError(L"settings did not reach the mouse");
    const std::wstring text = texts.LookupDefault(kWriteFailedKey, kDefaultWriteFailed);
    MessageBoxW(owner, text.c_str(), nullptr, MB_ICONERROR | MB_OK);
}

void ShowConnectMouse(const TextSettings& texts) {
    const std::wstring text = texts.LookupDefault(kConnectMouseKey, kConnectMouseText);
    MessageBoxW(nullptr, text.c_str(), nullptr, MB_ICONERROR | MB_OK);
}

void Tell(HWND owner, const TextSettings& texts, const std::wstring& text, UINT icon) {
    const std::wstring title = texts.LookupDefault(kTitleKey, kDefaultTitle);
    MessageBoxW(owner, text.c_str(), title.c_str(), icon | MB_OK);
}

void ShowChangedMeanwhile(HWND owner, const TextSettings& texts) {
    Tell(owner, texts, texts.LookupDefault(kChangedMeanwhileKey, kDefaultChangedMeanwhile),
         MB_ICONWARNING);
}

void ShowCacheStoreFailed(HWND owner, const TextSettings& texts) {
    Tell(owner, texts, texts.LookupDefault(kCacheStoreFailedKey, kDefaultCacheStoreFailed),
         MB_ICONWARNING);
}
