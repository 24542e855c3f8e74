// The tray program's main window on a simulated mouse, as the tray tests open and close it.
#pragma once

#include "desk_test_support.h"
#include "ui/settings_dialog.h"
#include "simulated_mouse.h"
#include "app/desk_app.h"

#include <gtest/gtest.h>

class TrayFixture : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { RegisterMainWindowClass(GetModuleHandleW(nullptr)); }

    void OpenMainWindow() {
        settingsDialogClosed = 1;
        window = CreateMainWindow(GetModuleHandleW(nullptr));
        ASSERT_NE(window, nullptr);
    }

    void TearDown() override {
        if (IsWindow(window)) {
            DestroyWindow(window);
        }
        PumpMessagesFor(20); // drains WM_QUIT
        settingsDialogClosed = 1;
    }

    SimulatedMouse mouse;
    RecordingWait wait;
    SimulatedMouseScope scope{mouse, &wait};
    HWND window = nullptr;
};
