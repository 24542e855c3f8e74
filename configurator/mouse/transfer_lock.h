// The lock of the mouse's transfers that every TarnDesk process of the log-on session takes,
// so their reports never interleave on the mouse: the firmware would take one process's
// command for the other's chunk.
#pragma once

#include <cstdint>
#include <memory>

inline constexpr wchar_t kTransferLockName[] = L"Local\\TarnDeskMouseTransfer";
// A walk is a few seconds at most; a holder that hangs longer makes our walk send nothing and
// report failure rather than hang this program too.
inline constexpr uint32_t kTransferLockWaitMs = 30000;

class TransferLock {
  public:
    virtual ~TransferLock() = default;
    // Waits at most `waitMs`; returns what Release takes back, or null when the lock stayed
    // with another holder. The same thread may take it again while it holds it.
    virtual void* Acquire(uint32_t waitMs) = 0;
    virtual void Release(void* held) = 0;
    // Acquire, saying whether the lock was taken over from a holder that ended without
    // releasing it (a crash or a kill): its transfer may have been cut off.
    virtual void* AcquireNoting(uint32_t waitMs, bool* abandoned) {
        *abandoned = false;
        return Acquire(waitMs);
    }
};

// No other process shares the mouse (tests of one process, the native build): always held.
class UnsharedTransferLock final : public TransferLock {
  public:
    void* Acquire(uint32_t) override { return this; }
    void Release(void*) override {}
};

// Windows: the named mutex kTransferLockName (transfer_lock_win.cpp). With
// `serveWindowsWhileWaiting`, a wait for another holder keeps the calling thread's windows
// answering (its messages are dispatched meanwhile), for a program whose window thread
// talks to the mouse; callers then guard against starting a second transfer meanwhile.
std::unique_ptr<TransferLock> CreateSystemTransferLock(bool serveWindowsWhileWaiting = false);

// One hold of the lock for a scope, released on every way out. Movable, so a session can hand
// a caller the hold of a whole sequence.
class MouseTransferLock {
  public:
    MouseTransferLock(TransferLock& lock, uint32_t waitMs)
        : lock_(&lock), held_(lock.AcquireNoting(waitMs, &abandoned_)) {}
    ~MouseTransferLock() {
        if (held_ != nullptr)
            lock_->Release(held_);
    }
    MouseTransferLock(MouseTransferLock&& other) noexcept : lock_(other.lock_), held_(other.held_) {
        other.held_ = nullptr;
    }
    MouseTransferLock(const MouseTransferLock&) = delete;
    MouseTransferLock& operator=(const MouseTransferLock&) = delete;
    MouseTransferLock& operator=(MouseTransferLock&&) = delete;
    bool Held() const { return held_ != nullptr; }
    // The holder before this one ended without releasing the lock.
    bool TookOverAbandoned() const { return held_ != nullptr && abandoned_; }

  private:
    TransferLock* lock_;
    void* held_;
    bool abandoned_ = false;
};
