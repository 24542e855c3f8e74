// Desktop fixtures for the dispatcher and scroll-engine tests: windows that record the
// messages they get, pointer placement, and low-level hooks that record injected input.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "test_harness_win.h"

struct RecordedMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Messages of interest (WM_HSCROLL, keys, commands, WM_CLOSE) received by recording windows
// and subclassed controls, in arrival order. Safe to read from any thread through these calls.
std::vector<RecordedMessage> RecordedMessages();
std::vector<RecordedMessage> RecordedMessages(UINT message);
void ClearRecordedMessages();

// A window of the given class (registered on first use) whose procedure records messages.
HWND CreateRecordingWindow(const wchar_t* className, DWORD style, int x, int y, int width,
                           int height, HWND parent = nullptr, const wchar_t* title = L"");
// Records the messages of a system control and hands them on to it.
void RecordMessagesOf(HWND control);
// Gives a window an enabled horizontal scroll bar with something to scroll.
void EnableHorizontalBar(HWND window);
// Leaves the bar shown but disabled. Wine reports a bar unavailable only when it has nothing
// to scroll (not after EnableScrollBar alone), which is also how a real window gets there.
void DisableHorizontalBar(HWND window);

// Moves the pointer to a point of the window's client area; true when it got there.
bool PlacePointer(HWND window, int clientX, int clientY);

struct InjectedKey {
    DWORD vk;
    DWORD scan;
    bool up;
    DWORD time;
};

// Low-level keyboard and mouse hooks that record injected input and swallow it, so that test
// keys such as Alt+F4 never reach a window. One instance at a time.
class InputRecorder {
  public:
    InputRecorder();
    ~InputRecorder();
    InputRecorder(const InputRecorder&) = delete;
    InputRecorder& operator=(const InputRecorder&) = delete;
    bool Active() const { return keyboard_ != nullptr && mouse_ != nullptr; }
    const std::vector<InjectedKey>& Keys() const;
    const std::vector<WPARAM>& MouseMessages() const;
    void Clear();

  private:
    HHOOK keyboard_;
    HHOOK mouse_;
};
