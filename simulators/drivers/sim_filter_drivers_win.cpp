#include "sim_filter_drivers.h"

#include <cstring>
#include <cwchar>

namespace {
// Handles of the simulated devices: small odd values no real handle takes.
HANDLE HandleOf(int device) {
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x5A01 + 2 * device));
}
} // namespace

SimFilterDrivers::SimFilterDrivers() = default;
SimFilterDrivers::~SimFilterDrivers() = default;

void SimFilterDrivers::SetPresent(int device, bool present) {
    std::lock_guard lock(mutex_);
    devices_[device].present = present;
}

void SimFilterDrivers::SetFaults(int device, const SimDriverFaults& faults) {
    std::lock_guard lock(mutex_);
    devices_[device].faults = faults;
}

void SimFilterDrivers::SetSingleBuffer(int device, bool single) {
    std::lock_guard lock(mutex_);
    devices_[device].single = single;
}

void SimFilterDrivers::SignalLocked(Device& device) {
    if (device.armed && !device.records.empty() && !device.faults.neverSignals && device.event) {
        device.armed = false;
        SetEvent(device.event);
    }
}

void SimFilterDrivers::Inject(int device, const uint8_t* record, size_t length) {
    std::lock_guard lock(mutex_);
    Device& d = devices_[device];
    if (d.single && !d.records.empty()) {
        d.records.clear();
        ++d.dropped;
    }
    d.records.emplace_back(record, record + length);
    SignalLocked(d);
}

void SimFilterDrivers::InjectEvent(int device, const EventRecord& record) {
    uint8_t bytes[kEventRecordLength];
    EncodeEventRecord(record, bytes);
    Inject(device, bytes, sizeof(bytes));
}

void SimFilterDrivers::InjectHidEvent(int device, const HidEventRecord& record) {
    uint8_t bytes[kHidEventRecordLength];
    EncodeHidEventRecord(record, bytes);
    Inject(device, bytes, sizeof(bytes));
}

std::vector<SimDriverCall> SimFilterDrivers::Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

int SimFilterDrivers::CountCalls(int device, uint32_t code) const {
    std::lock_guard lock(mutex_);
    int count = 0;
    for (const SimDriverCall& call : calls_) {
        if (call.kind == SimDriverCall::Control && call.device == device && call.code == code) {
            ++count;
        }
    }
    return count;
}

bool SimFilterDrivers::IsOpen(int device) const {
    std::lock_guard lock(mutex_);
    return devices_[device].open;
}

bool SimFilterDrivers::IsArmed(int device) const {
    std::lock_guard lock(mutex_);
    return devices_[device].armed;
}

uint64_t SimFilterDrivers::Dropped(int device) const {
    std::lock_guard lock(mutex_);
    return devices_[device].dropped;
}

size_t SimFilterDrivers::Queued(int device) const {
    std::lock_guard lock(mutex_);
    return devices_[device].records.size();
}

int SimFilterDrivers::DeviceOf(HANDLE handle) const {
    for (int i = 0; i < kFilterDeviceCount; ++i) {
        if (handle == HandleOf(i)) {
            return i;
        }
    }
    return -1;
}

HANDLE SimFilterDrivers::Open(const wchar_t* name) {
    std::lock_guard lock(mutex_);
    for (int i = 0; i < kFilterDeviceCount; ++i) {
        if (std::wcscmp(name, kFilterDevices[i].name) != 0) {
            continue;
        }
        Device& d = devices_[i];
        const bool ok = d.present && !d.faults.refuseOpen;
        calls_.push_back({SimDriverCall::Open, i, 0, {}, ok});
        if (!ok) {
            return INVALID_HANDLE_VALUE;
        }
        d.open = true;
        d.armed = false;
        return HandleOf(i);
    }
    return INVALID_HANDLE_VALUE;
}

BOOL SimFilterDrivers::Control(HANDLE handle, DWORD code, const void* input, DWORD inputLength,
                               void* output, DWORD outputLength) {
    std::lock_guard lock(mutex_);
    const int index = DeviceOf(handle);
    if (index < 0 || !devices_[index].open) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Device& d = devices_[index];
    const auto* in = static_cast<const uint8_t*>(input);
    SimDriverCall call{SimDriverCall::Control, index, code,
                       std::vector<uint8_t>(in, in + (in ? inputLength : 0)), false};
    const FilterDeviceInfo& info = kFilterDevices[index];
    const WaitRecord wait = DecodeWaitRecord(in, in ? inputLength : 0);
    HANDLE event = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(wait.eventHandle));
    BOOL result = FALSE;
    if (code == IOCTL_TARN_SET_SETTINGS && info.sendsSettings) {
        result = inputLength == kSettingsRecordLength;
    } else if (code == info.armCode && inputLength == kWaitRecordLength) {
        if (!d.faults.armFails) {
            d.event = event;
            if (!d.faults.failedFetchKeepsEventSet) {
                ResetEvent(event);
            }
            d.armed = true;
            SignalLocked(d);
            result = TRUE;
        }
    } else if (code == info.fetchCode && inputLength == kWaitRecordLength) {
        if (d.faults.fetchFailures > 0) {
            --d.faults.fetchFailures;
            d.records.clear(); // the failed read loses what it would have returned
            if (d.faults.failedFetchKeepsEventSet && event) {
                SetEvent(event);
            }
        } else if (!d.records.empty() && output && outputLength >= info.recordLength) {
            std::vector<uint8_t>& record = d.records.front();
            std::memset(output, 0, outputLength);
            std::memcpy(output, record.data(),
                        record.size() < info.recordLength ? record.size() : info.recordLength);
            d.records.pop_front();
            result = TRUE;
        }
    } else if (code == info.stopCode && inputLength == kWaitRecordLength) {
        // Completes the reader's wait so it can see it is told to end.
        d.armed = false;
        if (event) {
            SetEvent(event);
        }
        result = TRUE;
    }
    call.succeeded = result != FALSE;
    calls_.push_back(std::move(call));
    if (!result) {
        SetLastError(ERROR_GEN_FAILURE);
    }
    return result;
}

void SimFilterDrivers::Close(HANDLE handle) {
    std::lock_guard lock(mutex_);
    const int index = DeviceOf(handle);
    if (index < 0) {
        return;
    }
    calls_.push_back({SimDriverCall::Close, index, 0, {}, devices_[index].open});
    devices_[index].open = false;
    devices_[index].armed = false;
}
