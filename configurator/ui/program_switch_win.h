// Program profiles at run time: a foreground hook (out of context, so it costs nothing while
// the foreground stays), a one-shot settle timer and one select through the transfer lock.
#pragma once

#include "mouse/mouse_session.h"
#include "settings/program_rules.h"
#include "program_switch.h"

#include <windows.h>

#include <string>

class ProgramSwitcher {
  public:
    explicit ProgramSwitcher(MouseSession& session) : session_(session) {}
    ~ProgramSwitcher();
    ProgramSwitcher(const ProgramSwitcher&) = delete;
    ProgramSwitcher& operator=(const ProgramSwitcher&) = delete;

    // Start-up: loads the rules and, when the feature is on, watches the foreground.
    void Start();
    // Puts new rules in force (the dialog's OK): the hook follows the switch, and the program
    // in front is decided afresh once the foreground settles.
    void Apply(const ProgramRuleSettings& settings);
    // Decides afresh for the program in front, after the settle delay (a mouse that arrived).
    void Reconsider();
    // Removes the hook and the timer (the program ends).
    void Stop();

    // The rules in force.
    const ProgramRuleSettings& Rules() const { return programRules_; }

  private:
    static void CALLBACK OnForegroundEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object,
                                           LONG, DWORD, DWORD);
    static void CALLBACK OnSettleTimer(HWND, UINT, UINT_PTR, DWORD);
    void ForegroundChanged(HWND window);
    void Settle();
    void ArmSettleTimer(UINT delayMs);
    void DisarmSettleTimer();
    void Watch(bool on);

    MouseSession& session_;
    ProgramRuleSettings programRules_;
    ProgramSwitch programSwitch_;
    HWINEVENTHOOK foregroundHook_ = nullptr;
    UINT_PTR settleTimer_ = 0;
};

// The image path of the process of `window`; empty when the process cannot be asked.
std::wstring WindowProgramPath(HWND window);
