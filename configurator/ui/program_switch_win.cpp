// Program profiles: the foreground hook, the settle timer and the select.
#include "program_switch_win.h"

#include "device_channel.h"
#include "handle_owners_win.h"
#include "program_switch.h"

ProgramRuleSettings programRules;

namespace {

HWINEVENTHOOK foregroundHook = nullptr;
UINT_PTR settleTimer = 0;
ProgramSwitch programSwitch;

void CALLBACK OnSettleTimer(HWND, UINT, UINT_PTR, DWORD);

// A thread timer: it needs no window and, being restarted by each change, fires once.
void ArmSettleTimer(UINT delayMs) {
    settleTimer = SetTimer(nullptr, settleTimer, delayMs, OnSettleTimer);
}

void DisarmSettleTimer() {
    if (settleTimer != 0) {
        KillTimer(nullptr, settleTimer);
        settleTimer = 0;
    }
}

void CALLBACK OnSettleTimer(HWND, UINT, UINT_PTR, DWORD) {
    DisarmSettleTimer();
    const std::optional<int> target = programSwitch.Target(programRules);
    if (!target) {
        programSwitch.Settled();
        return;
    }
    // A copy, a write, an import or an Apply holds the mouse: our turn comes after it. Asking
    // again later keeps this thread (and the tray) responsive meanwhile.
    const MouseTransferLock turn(0);
    if (!turn.Held()) {
        ArmSettleTimer(kTransferRetryMs);
        return;
    }
    // The mouse is asked rather than trusted from memory: a switch on the mouse since our last
    // select would otherwise make us skip a select the new program needs.
    if (SelectNeeded(QueryMouseProfile(), *target)) {
        RunDeviceOperation(SelectProfile, *target);
    }
    programSwitch.Settled();
}

void ForegroundChanged(HWND window) {
    DWORD process = 0;
    if (window == nullptr || GetWindowThreadProcessId(window, &process) == 0 ||
        process == GetCurrentProcessId()) {
        return; // TarnDesk's own windows (its menu, its dialogs) are no program change
    }
    programSwitch.ForegroundChanged(WindowProgramPath(window));
    ArmSettleTimer(kSettleDelayMs);
}

void CALLBACK OnForegroundEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG, DWORD,
                                DWORD) {
    if (event == EVENT_SYSTEM_FOREGROUND && object == OBJID_WINDOW) {
        ForegroundChanged(window);
    }
}

void Watch(bool on) {
    if (on && foregroundHook == nullptr) {
        foregroundHook = SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr,
                                         OnForegroundEvent, 0, 0,
                                         WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    } else if (!on && foregroundHook != nullptr) {
        UnhookWinEvent(foregroundHook);
        foregroundHook = nullptr;
        DisarmSettleTimer();
    }
}

} // namespace

std::wstring WindowProgramPath(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    const UniqueHandle handle(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process));
    if (!handle) {
        return {};
    }
    std::wstring path(32768, L'\0');
    DWORD count = static_cast<DWORD>(path.size());
    if (QueryFullProcessImageNameW(handle.Get(), 0, path.data(), &count) == FALSE) {
        return {};
    }
    path.resize(count);
    return path;
}

void StartProgramSwitching() {
    programRules = LoadProgramRuleSettings();
    Watch(programRules.on);
    if (programRules.on) {
        ForegroundChanged(GetForegroundWindow()); // the program in front when we start
    }
}

void ApplyProgramRules(const ProgramRuleSettings& settings) {
    const bool watching = foregroundHook != nullptr;
    programRules = settings;
    programRules.skipped = 0;
    Watch(programRules.on);
    if (programRules.on && !watching) {
        // What was in front when the watch last ran may be long gone: start afresh from the
        // window in front now (the dialog's own is skipped; the next change then decides).
        programSwitch = ProgramSwitch();
        ForegroundChanged(GetForegroundWindow());
        return;
    }
    programSwitch.Reconsider();
    if (programRules.on && programSwitch.KnowsProgramInFront()) {
        ArmSettleTimer(kSettleDelayMs);
    }
}

void ReconsiderProgramInFront() {
    programSwitch.Reconsider();
    if (programRules.on && programSwitch.KnowsProgramInFront()) {
        ArmSettleTimer(kSettleDelayMs);
    }
}

void StopProgramSwitching() {
    Watch(false);
}
