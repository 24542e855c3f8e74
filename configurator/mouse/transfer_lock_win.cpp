// The lock every TarnDesk process of the log-on session takes for each walk over the mouse.
#include "device_channel.h"

#include <windows.h>

MouseTransferLock::MouseTransferLock(uint32_t waitMs) : mutex_(nullptr), held_(false) {
    // Opened per walk and closed with it, like the mouse's own handles.
    mutex_ = CreateMutexW(nullptr, FALSE, kTransferLockName);
    if (mutex_ == nullptr) {
        return;
    }
    // A holder that ended without releasing leaves the lock abandoned, not taken: ours then.
    const DWORD result = WaitForSingleObject(mutex_, waitMs);
    held_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

MouseTransferLock::~MouseTransferLock() {
    if (mutex_ == nullptr) {
        return;
    }
    if (held_) {
        ReleaseMutex(mutex_);
    }
    CloseHandle(mutex_); // the lock's owner releases its own handle exactly once
}
