// The named mutex every TarnDesk process of the log-on session takes for its walks.
#include "transfer_lock.h"

#include "handle_owners_win.h"

namespace {

class NamedMutexLock final : public TransferLock {
  public:
    void* Acquire(uint32_t waitMs) override {
        bool abandoned = false;
        return AcquireNoting(waitMs, &abandoned);
    }
    void* AcquireNoting(uint32_t waitMs, bool* abandoned) override {
        *abandoned = false;
        // Opened per hold and closed with it, like the mouse's own handles.
        UniqueHandle mutex(CreateMutexW(nullptr, FALSE, kTransferLockName));
        if (!mutex) {
            return nullptr;
        }
        // A holder that ended without releasing leaves the lock abandoned, not taken: ours then.
        const DWORD result = WaitForSingleObject(mutex.Get(), waitMs);
        if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) {
            return nullptr;
        }
        *abandoned = result == WAIT_ABANDONED;
        return mutex.Release();
    }
    void Release(void* held) override {
        const UniqueHandle mutex(held);
        ReleaseMutex(mutex.Get());
    }
};

} // namespace

std::unique_ptr<TransferLock> CreateSystemTransferLock() {
    return std::make_unique<NamedMutexLock>();
}
