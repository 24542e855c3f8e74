// Program profiles: the foreground hook, the settle timer and the select.
#include "program_switch_win.h"

#include "handle_owners_win.h"
#include "program_switch.h"

namespace {

// The switcher whose hook is in place: a WinEvent hook and a thread timer get no context of
// their own.
ProgramSwitcher* watchingSwitcher = nullptr;

} // namespace

ProgramSwitcher::~ProgramSwitcher() {
    Stop();
}

// A thread timer: it needs no window and, being restarted by each change, fires once.
void ProgramSwitcher::ArmSettleTimer(UINT delayMs) {
    settleTimer_ = SetTimer(nullptr, settleTimer_, delayMs, OnSettleTimer);
}

void ProgramSwitcher::DisarmSettleTimer() {
    if (settleTimer_ != 0) {
        KillTimer(nullptr, settleTimer_);
        settleTimer_ = 0;
    }
}

void CALLBACK ProgramSwitcher::OnSettleTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (watchingSwitcher != nullptr) {
        watchingSwitcher->Settle();
    }
}

void ProgramSwitcher::Settle() {
    DisarmSettleTimer();
    const std::optional<int> target = programSwitch_.Target(programRules_);
    if (!target) {
        programSwitch_.Settled();
        return;
    }
    // A copy, a write, an import or an Apply holds the mouse: our turn comes after it. Asking
    // again later keeps this thread (and the tray) responsive meanwhile.
    const SessionHold turn = session_.Hold(0);
    if (!turn.Held()) {
        ArmSettleTimer(kTransferRetryMs);
        return;
    }
    // The mouse is asked rather than trusted from memory: a switch on the mouse since our last
    // select would otherwise make us skip a select the new program needs.
    if (SelectNeeded(session_.QueryProfile(), *target)) {
        session_.Select(*target);
    }
    programSwitch_.Settled();
}

void ProgramSwitcher::ForegroundChanged(HWND window) {
    DWORD process = 0;
    if (window == nullptr || GetWindowThreadProcessId(window, &process) == 0 ||
        process == GetCurrentProcessId()) {
        return; // TarnDesk's own windows (its menu, its dialogs) are no program change
    }
    programSwitch_.ForegroundChanged(WindowProgramPath(window));
    ArmSettleTimer(kSettleDelayMs);
}

void CALLBACK ProgramSwitcher::OnForegroundEvent(HWINEVENTHOOK, DWORD event, HWND window,
                                                 LONG object, LONG, DWORD, DWORD) {
    if (event == EVENT_SYSTEM_FOREGROUND && object == OBJID_WINDOW && watchingSwitcher != nullptr) {
        watchingSwitcher->ForegroundChanged(window);
    }
}

void ProgramSwitcher::Watch(bool on) {
    if (on && foregroundHook_ == nullptr) {
        watchingSwitcher = this;
        foregroundHook_ = SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr,
                                          OnForegroundEvent, 0, 0,
                                          WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    } else if (!on && foregroundHook_ != nullptr) {
        UnhookWinEvent(foregroundHook_);
        foregroundHook_ = nullptr;
        DisarmSettleTimer();
    }
    if (!on && watchingSwitcher == this) {
        watchingSwitcher = nullptr;
    }
}

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

void ProgramSwitcher::Start() {
    programRules_ = LoadProgramRuleSettings();
    Watch(programRules_.on);
    if (programRules_.on) {
        ForegroundChanged(GetForegroundWindow()); // the program in front when we start
    }
}

void ProgramSwitcher::Apply(const ProgramRuleSettings& settings) {
    const bool watching = foregroundHook_ != nullptr;
    programRules_ = settings;
    programRules_.skipped = 0;
    Watch(programRules_.on);
    if (programRules_.on && !watching) {
        // What was in front when the watch last ran may be long gone: start afresh from the
        // window in front now (the dialog's own is skipped; the next change then decides).
        programSwitch_ = ProgramSwitch();
        ForegroundChanged(GetForegroundWindow());
        return;
    }
    Reconsider();
}

void ProgramSwitcher::Reconsider() {
    programSwitch_.Reconsider();
    if (programRules_.on && programSwitch_.KnowsProgramInFront()) {
        ArmSettleTimer(kSettleDelayMs);
    }
}

void ProgramSwitcher::Stop() {
    Watch(false);
    DisarmSettleTimer();
}
