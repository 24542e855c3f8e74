// The tray program on a simulated mouse, as the tray tests open and close its main window.
#pragma once

#include "app/desk_app.h"
#include "desk_test_support.h"
#include "mouse/transfer_lock.h"
#include "simulated_mouse.h"
#include "ui/desktop_settings.h"

#include <gtest/gtest.h>

#include <memory>

// Counts what the Settings dialog does to the system-wide settings, which Wine keeps neither
// of: the pointer speed and the arrow cursor.
class DesktopRecorder final : public DesktopSettings {
  public:
    int PointerSpeed() override { return 10; }
    void SetPointerSpeed(int) override {}
    void SetArrowCursor(HCURSOR cursor) override {
        ++handsSet;
        DestroyCursor(cursor);
    }
    void ReloadSystemCursors() override { ++reloads; }
    int handsSet = 0;
    int reloads = 0;
};

class TrayFixture : public ::testing::Test {
  protected:
    void OpenMainWindow() {
        window = app.CreateMainWindow();
        ASSERT_NE(window, nullptr);
    }

    void TearDown() override {
        if (IsWindow(window)) {
            DestroyWindow(window);
        }
        PumpMessagesFor(20); // drains WM_QUIT
    }

    // The window of the open Settings dialog, or null.
    HWND SettingsWindow() const {
        const SettingsDialog* dialog = app.OpenDialog();
        return dialog != nullptr ? dialog->Window() : nullptr;
    }

    SimulatedMouse mouse;
    RecordingWait wait;
    SimulatedMouseScope scope{mouse, &wait};
    // The session-wide lock the program takes, as TarnDesk's entry point builds it.
    const std::unique_ptr<TransferLock> lock = CreateSystemTransferLock();
    DesktopRecorder desktop;
    DeskApp app{GetModuleHandleW(nullptr), mouse, wait, *lock, desktop};
    HWND window = nullptr;
};
