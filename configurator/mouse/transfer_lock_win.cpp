// The lock every TarnDesk process of the log-on session takes for each walk over the mouse.
#include "device_channel.h"
#include "memory_protocol.h"
#include "mouse_firmware.h"

#include "handle_owners_win.h"

namespace {

class NamedMutexLock final : public TransferLockSeam {
  public:
    void* Acquire(uint32_t waitMs) override {
        // Opened per walk and closed with it, like the mouse's own handles.
        UniqueHandle mutex(CreateMutexW(nullptr, FALSE, kTransferLockName));
        if (!mutex) {
            return nullptr;
        }
        // A holder that ended without releasing leaves the lock abandoned, not taken: ours then.
        const DWORD result = WaitForSingleObject(mutex.Get(), waitMs);
        if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) {
            return nullptr;
        }
        return mutex.Release();
    }
    void Release(void* held) override {
        const UniqueHandle mutex(held);
        ReleaseMutex(mutex.Get());
    }
};

} // namespace

TransferLockSeam& SystemTransferLock() {
    static NamedMutexLock lock;
    return lock;
}

SystemSeams WindowsSeams() {
    return SystemSeams{&SystemMouseInterfaces(), &SystemPacingWait(), &SystemTransferLock()};
}
