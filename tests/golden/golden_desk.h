// What the golden scenarios need from TarnDesk, in the terms a user or another program sees:
// its main window and menu commands, its Settings dialog, its command line and its program
// rules. The scenarios stay the same while TarnDesk's inside moves; only golden_desk_win.cpp
// follows it.
#pragma once

#include "simulated_mouse.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

// The system-wide settings a Settings dialog changes (pointer speed, arrow cursor), reported
// to the scenario instead of changing the desktop.
class GoldenDesktop {
  public:
    virtual ~GoldenDesktop() = default;
    virtual int PointerSpeed() = 0;
    virtual void PointerSpeedSet(int speed) = 0;
};

class GoldenDesk {
  public:
    GoldenDesk(SimulatedMouse& mouse, RecordingWait& wait, GoldenDesktop& desktop);
    ~GoldenDesk();
    GoldenDesk(const GoldenDesk&) = delete;
    GoldenDesk& operator=(const GoldenDesk&) = delete;

    // The tray program's start: hidden window, text settings, the start-up copy, program
    // rules from the registry. No tray icon.
    void Start();
    HWND MainWindow() const;
    // A menu command of the tray (Setting, Reset to Default, Close).
    void Command(int id);
    // The mouse's configuration interface arrives; the re-read runs once its timer fires.
    void Arrival();
    // The open Settings dialog, or null.
    HWND SettingsDialog() const;
    // A command-line run in this process; its standard output and error are captured.
    int RunCommandLine(const std::vector<std::wstring>& arguments, std::wstring* output);

  private:
    struct State;
    std::unique_ptr<State> state_;
};
