// Shared by the dialog tests under Wine: the simulated mouse installed for the test, message
// pumping, actions run from inside modal loops, real keyboard input and screenshots.
#pragma once

#include "mouse/mouse_session.h"
#include "settings/profile_cache.h"
#include "model/memory_image.h"
#include "simulated_mouse.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "test_harness_win.h"

// Runs the queued steps one per timer tick on the test thread; the timer fires inside the
// message loops of modal dialogs too, so steps can inspect and drive a dialog that blocks the
// test in DialogBoxParamW.
class ModalSteps {
  public:
    using Step = std::function<void()>;
    explicit ModalSteps(std::vector<Step> steps, UINT periodMs = 60);
    ~ModalSteps();
    bool Done() const { return next_ >= steps_.size(); }
    // True when the steps were done and a modal dialog was still open, so it was ended here.
    bool EndedAStuckDialog() const { return endedStuck_; }

  private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    std::vector<Step> steps_;
    size_t next_ = 0;
    bool running_ = false;
    bool endedStuck_ = false;
    int idleTicks_ = 0;
    UINT_PTR timer_ = 0;
};

// Real key input through the system's input queue.
void PressKey(WORD vk, bool down);
void TapKey(WORD vk);

// The active top-level dialog of this thread with the given caption, or null.
HWND FindDialog(const wchar_t* caption);
std::wstring ItemText(HWND dialog, int id);
bool Visible(HWND dialog, int id);
bool Enabled(HWND dialog, int id);
std::vector<std::wstring> ListRows(HWND dialog, int id);

// Saves the window's screen area as a PNG under "screenshots\" of the current directory.
bool SaveScreenshot(HWND window, const wchar_t* name);

// Profile p's record bytes in the simulated mouse (area p + 1) and in the registry cache.
std::vector<uint8_t> MouseArea(const SimulatedMouse& mouse, int area);
std::vector<uint8_t> CachedValue(int number);
