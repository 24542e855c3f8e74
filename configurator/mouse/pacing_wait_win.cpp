// The pacing wait on Windows. Sleep rounds to the 15.6 ms timer tick (tripling a 5 ms pause)
// and can return early for short waits, which would break the firmware's 50 ms page gap. A
// high-resolution waitable timer is precise to well under a millisecond; where the system
// lacks it, a plain waitable timer still works, only coarser. QueryPerformanceCounter decides
// when the wait is over, so it never ends short whatever the timer does.
#include "pacing_wait.h"

#include <windows.h>

#include "handle_owners_win.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace {

// The last stretch of a wait is spent watching the clock rather than on the timer: timer
// wake-ups can be late by up to about a millisecond, and 88 late wake-ups per block would add
// up. It spins rather than yields: on a machine a game keeps busy, each yield hands the core
// to the game for a whole scheduler slice and every wait ends about that much late.
constexpr int64_t kSpinStretchUs = 1000;

HANDLE CreatePacingTimer() {
    HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                          TIMER_ALL_ACCESS);
    if (!timer)
        timer = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    return timer;
}

// Priority of the thread while it talks to the mouse. A game keeps every core busy at normal
// priority (or a step above); a thread at normal priority then wakes from each wait only when
// the scheduler next gets round to it, and 88 such waits make a block late by far more than
// the firmware's pacing needs. The raise lasts one operation, the thread sleeps through most
// of it (it spins only the last millisecond of each wait, about a tenth of a core), and the
// user asked for the transfer, so the game hardly notices.
constexpr int kOperationPriority = THREAD_PRIORITY_HIGHEST;

// One timer for the program's run: creating and closing a timer around each of the 88 waits
// of a block costs more than the precision it buys (measured under Wine: median lateness
// 0.25 ms with a timer per wait against 0.03 ms with a kept one).
class TimerWait final : public PacingWait {
  public:
    // Operations run on the user-interface thread only, one at a time; nesting is counted so
    // only the outermost bracket changes the priority.
    void BeginOperation() override {
        if (depth_++ > 0)
            return;
        saved_ = GetThreadPriority(GetCurrentThread());
        raised_ = saved_ != THREAD_PRIORITY_ERROR_RETURN && saved_ < kOperationPriority &&
                  SetThreadPriority(GetCurrentThread(), kOperationPriority);
    }

    void EndOperation() override {
        if (depth_ == 0 || --depth_ > 0)
            return;
        if (raised_)
            SetThreadPriority(GetCurrentThread(), saved_);
        raised_ = false;
    }

    void Wait(uint32_t milliseconds) override {
        LARGE_INTEGER frequency, start, now;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        // Ceiling, so rounding never shortens the wait.
        const int64_t span = (int64_t(milliseconds) * frequency.QuadPart + 999) / 1000;
        const int64_t end = start.QuadPart + span;
        for (QueryPerformanceCounter(&now); now.QuadPart < end; QueryPerformanceCounter(&now)) {
            const int64_t remainingUs =
                ((end - now.QuadPart) * 1000000 + frequency.QuadPart - 1) / frequency.QuadPart;
            if (remainingUs <= kSpinStretchUs) {
                YieldProcessor();
                continue;
            }
            if (!timer_)
                timer_.Reset(CreatePacingTimer());
            LARGE_INTEGER due;
            due.QuadPart = -(remainingUs - kSpinStretchUs) * 10; // relative, 100 ns units
            if (timer_ && SetWaitableTimer(timer_.Get(), &due, 0, nullptr, nullptr, FALSE))
                WaitForSingleObject(timer_.Get(), INFINITE);
            else
                Sleep(DWORD((remainingUs - kSpinStretchUs) / 1000));
        }
    }

  private:
    UniqueHandle timer_;
    int depth_ = 0;
    int saved_ = THREAD_PRIORITY_NORMAL;
    bool raised_ = false;
};

} // namespace

std::unique_ptr<PacingWait> CreateSystemPacingWait() {
    return std::make_unique<TimerWait>();
}
