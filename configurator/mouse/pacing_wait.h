// The wait that paces the reports to the mouse: the memory link's fixed 5 ms and 50 ms gaps
// must last at least as long as asked, never less, and not much longer.
#pragma once

#include <cstdint>
#include <memory>

class PacingWait {
  public:
    virtual ~PacingWait() = default;
    virtual void Wait(uint32_t milliseconds) = 0;
    // Bracket the waits of one operation on one interface. The system wait keeps the thread's
    // wake-ups prompt in between (a block has 88 waits, and on a busy machine each could end a
    // scheduler slice late) and gives the thread back as it was at the end.
    virtual void BeginOperation() {}
    virtual void EndOperation() {}
};

// The standard library's steady clock, slept on until the full time has passed.
class SteadyClockWait final : public PacingWait {
  public:
    void Wait(uint32_t milliseconds) override;
};

// Windows: a high-resolution waitable timer checked against QueryPerformanceCounter
// (pacing_wait_win.cpp). Native builds: the steady clock (pacing_wait_posix.cpp).
std::unique_ptr<PacingWait> CreateSystemPacingWait();

// Holds a wait's operation bracket for one scope, ended on every way out.
class PacedOperation {
  public:
    explicit PacedOperation(PacingWait& wait) : wait_(wait) { wait_.BeginOperation(); }
    ~PacedOperation() { wait_.EndOperation(); }
    PacedOperation(const PacedOperation&) = delete;
    PacedOperation& operator=(const PacedOperation&) = delete;

  private:
    PacingWait& wait_;
};
