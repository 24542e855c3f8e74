// In-process stand-ins for the three filter drivers' control devices, with fault injection.
// They keep the agent's reliance: an arm clears the caller's event and the driver signals it
// once it holds a record; a fetch hands out the oldest record; a stop completes the wait.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "driver_link_win.h"

struct SimDriverCall {
    enum Kind { Open, Control, Close } kind;
    int device; // 0..2
    uint32_t code;
    std::vector<uint8_t> input;
    bool succeeded;
};

struct SimDriverFaults {
    bool refuseOpen = false;
    bool armFails = false;
    int fetchFailures = 0; // the next n fetches fail
    bool neverSignals = false;
    // A broken driver: a failed fetch leaves the caller's event set, and an arm does not clear
    // it, so the reader wakes at once every time.
    bool failedFetchKeepsEventSet = false;
};

class SimFilterDrivers final : public FilterDeviceIo {
  public:
    SimFilterDrivers();
    ~SimFilterDrivers() override;

    // Which of the three devices exist (0 = HID lower, 1 = PS/2 upper, 2 = HID upper).
    void SetPresent(int device, bool present);
    void SetFaults(int device, const SimDriverFaults& faults);
    // Keep only the newest unfetched record, as a driver with one buffer would; the records it
    // replaces are counted as dropped.
    void SetSingleBuffer(int device, bool single);

    // Queues records and signals an armed reader.
    void Inject(int device, const uint8_t* record, size_t length);
    void InjectEvent(int device, const EventRecord& record);
    void InjectHidEvent(int device, const HidEventRecord& record);

    std::vector<SimDriverCall> Calls() const;
    int CountCalls(int device, uint32_t code) const;
    bool IsOpen(int device) const;
    bool IsArmed(int device) const;
    uint64_t Dropped(int device) const;
    size_t Queued(int device) const;

    // FilterDeviceIo
    HANDLE Open(const wchar_t* name) override;
    BOOL Control(HANDLE device, DWORD code, const void* input, DWORD inputLength, void* output,
                 DWORD outputLength) override;
    void Close(HANDLE device) override;

  private:
    struct Device {
        bool present = false;
        bool open = false;
        bool armed = false;
        bool single = false;
        SimDriverFaults faults;
        HANDLE event = nullptr; // the reader's event, as the last arm named it
        std::deque<std::vector<uint8_t>> records;
        uint64_t dropped = 0;
    };
    int DeviceOf(HANDLE handle) const;
    void SignalLocked(Device& device);

    mutable std::mutex mutex_;
    Device devices_[kFilterDeviceCount];
    std::vector<SimDriverCall> calls_;
};
