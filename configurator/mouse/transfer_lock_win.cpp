// The named mutex every TarnDesk process of the log-on session takes for its walks.
#include "transfer_lock.h"

#include "handle_owners_win.h"

namespace {

// Waits for the mutex while dispatching the thread's messages; answers as WaitForSingleObject.
DWORD WaitServingWindows(HANDLE mutex, uint32_t waitMs) {
    const ULONGLONG deadline = GetTickCount64() + waitMs;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        const DWORD result = MsgWaitForMultipleObjectsEx(1, &mutex, left, QS_ALLINPUT,
                                                         MWMO_INPUTAVAILABLE);
        if (result != WAIT_OBJECT_0 + 1) {
            return result == WAIT_ABANDONED_0 ? WAIT_ABANDONED : result;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam)); // the loop that owns it ends
                return WAIT_TIMEOUT;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

class NamedMutexLock final : public TransferLock {
  public:
    explicit NamedMutexLock(bool serveWindows) : serveWindows_(serveWindows) {}

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
        DWORD result = WaitForSingleObject(mutex.Get(), 0);
        if (result == WAIT_TIMEOUT && waitMs > 0) {
            result = serveWindows_ ? WaitServingWindows(mutex.Get(), waitMs)
                                   : WaitForSingleObject(mutex.Get(), waitMs);
        }
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

  private:
    bool serveWindows_;
};

} // namespace

std::unique_ptr<TransferLock> CreateSystemTransferLock(bool serveWindowsWhileWaiting) {
    return std::make_unique<NamedMutexLock>(serveWindowsWhileWaiting);
}
