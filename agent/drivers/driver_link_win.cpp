#include "driver_link_win.h"

#include <atomic>

#include "handle_owners_win.h"

namespace {

class RealDeviceIo final : public FilterDeviceIo {
  public:
    HANDLE Open(const wchar_t* name) override {
        return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    BOOL Control(HANDLE device, DWORD code, const void* input, DWORD inputLength, void* output,
                 DWORD outputLength) override {
        DWORD returned = 0;
        return DeviceIoControl(device, code, const_cast<void*>(input), inputLength, output,
                               outputLength, &returned, nullptr);
    }
    // The seam's own release: the link hands each device it opened back here exactly once.
    void Close(HANDLE device) override { CloseHandle(device); }
};

RealDeviceIo realDeviceIo;
FilterDeviceIo* deviceIo = &realDeviceIo;

// One opened device. Created per OpenFilterDrivers and never freed: a reader that never wakes
// keeps its pointer for the life of the process.
struct DeviceState {
    int index = 0;
    HWND window = nullptr;
    FilterDeviceIo* io = nullptr;
    // Closed exactly once, by whoever swaps it out first: the reader on its own failure or
    // CloseFilterDrivers.
    std::atomic<HANDLE> handle{INVALID_HANDLE_VALUE};
    std::atomic<HANDLE> event{nullptr};
    std::atomic<uint32_t> enable{0};
    std::atomic<int> runningFlag{0};
    RecordRing ring;
    // Auto-reset; set by the window thread when it frees a slot the reader is waiting for, and
    // at shutdown. Lives as long as the state itself.
    HANDLE room = nullptr;
    std::atomic<bool> awaitingRoom{false};
};

// The devices of the current session, by index; touched only on the window thread.
DeviceState* devices[kFilterDeviceCount] = {};

void CloseDevice(DeviceState* device) {
    HANDLE handle = device->handle.exchange(INVALID_HANDLE_VALUE);
    if (handle != INVALID_HANDLE_VALUE) {
        device->io->Close(handle);
    }
}

void EncodeWaitOf(const DeviceState* device, uint8_t (&out)[kWaitRecordLength]) {
    WaitRecord wait;
    wait.eventHandle = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(device->event.load()));
    wait.enable = device->enable.load();
    EncodeWaitRecord(wait, out);
}

// Copies the record into the reader's ring and posts its number. Sleeps until there is room
// rather than dropping a record when the window thread falls behind by a whole ring; never
// polls for it, since the reader runs above the programs it shares the machine with.
void Deliver(DeviceState* device, const uint8_t* record, size_t length) {
    const FilterDeviceInfo& info = kFilterDevices[device->index];
    uint32_t seq = 0;
    while (!device->ring.Push(record, length, &seq)) {
        device->awaitingRoom.store(true);
        // Pairs with the fence in TakeRecord: either the window thread sees the flag or this
        // second try sees the slot it freed.
        std::atomic_thread_fence(std::memory_order_seq_cst);
        if (device->ring.Push(record, length, &seq)) {
            break;
        }
        if (device->runningFlag.load() == 0) {
            return;
        }
        WaitForSingleObject(device->room, INFINITE);
        if (device->runningFlag.load() == 0) {
            return;
        }
    }
    PostMessageW(device->window, info.message, static_cast<WPARAM>(device->index),
                 static_cast<LPARAM>(seq));
}

DWORD WINAPI ReaderThread(void* parameter) {
    DeviceState* device = static_cast<DeviceState*>(parameter);
    const FilterDeviceInfo& info = kFilterDevices[device->index];
    if (device->handle.load() == INVALID_HANDLE_VALUE) {
        return 0;
    }
    // Closed when the reader ends, whichever way it ends.
    const UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event) {
        CloseDevice(device);
        return 0;
    }
    device->event.store(event.Get());
    device->enable.store(1);

    uint8_t wait[kWaitRecordLength];
    int failedFetches = 0; // in a row
    for (;;) {
        // The driver keeps the event clear from the arm until it holds a new record.
        EncodeWaitOf(device, wait);
        if (!device->io->Control(device->handle.load(), info.armCode, wait, sizeof(wait), nullptr,
                                 0)) {
            (void)GetLastError();
            CloseDevice(device);
            return 0;
        }
        WaitForSingleObject(event.Get(), INFINITE);
        if (device->runningFlag.load() == 0) {
            return 0;
        }
        uint8_t record[RecordRing::kSlotLength] = {};
        EncodeWaitOf(device, wait);
        const BOOL fetched =
            device->io->Control(device->handle.load(), info.fetchCode, wait, sizeof(wait), record,
                                static_cast<DWORD>(info.recordLength));
        if (fetched) {
            failedFetches = 0;
            Deliver(device, record, info.recordLength);
        } else if (info.recordKind == FilterRecordKind::Event) {
            CloseDevice(device);
            return 0;
        } else {
            // The HID upper filter's failed fetch only skips that record. A driver that keeps
            // failing with the event still set must not make this raised thread spin: clear
            // the event ourselves and, when it fails again, wait a while before the next try.
            ResetEvent(event.Get());
            if (++failedFetches > 1) {
                Sleep(FetchRetryDelayMs(failedFetches));
            }
        }
        if (device->runningFlag.load() == 0) {
            return 0;
        }
    }
}

bool TakeRecord(WPARAM wParam, LPARAM lParam, FilterRecordKind kind,
                uint8_t (&out)[RecordRing::kSlotLength]) {
    if (wParam >= static_cast<WPARAM>(kFilterDeviceCount)) {
        return false;
    }
    if (kFilterDevices[wParam].recordKind != kind) {
        return false;
    }
    DeviceState* device = devices[wParam];
    const auto raw = static_cast<ULONG_PTR>(lParam);
    if (!device || raw > 0xFFFFFFFFu) {
        return false;
    }
    if (!device->ring.Take(static_cast<uint32_t>(raw), out)) {
        return false;
    }
    std::atomic_thread_fence(std::memory_order_seq_cst);
    if (device->awaitingRoom.exchange(false)) {
        SetEvent(device->room);
    }
    return true;
}

} // namespace

void SetFilterDeviceIo(FilterDeviceIo* io) {
    deviceIo = io ? io : &realDeviceIo;
}

bool OpenFilterDrivers(HWND window, const SettingsRecord& settings) {
    uint8_t settingsBytes[kSettingsRecordLength];
    EncodeSettingsRecord(settings, settingsBytes);
    bool anyOpen = false;
    for (int i = 0; i < kFilterDeviceCount; ++i) {
        const FilterDeviceInfo& info = kFilterDevices[i];
        devices[i] = nullptr;
        HANDLE handle = deviceIo->Open(info.name);
        if (handle == INVALID_HANDLE_VALUE || handle == nullptr) {
            continue;
        }
        auto* device = new DeviceState;
        device->index = i;
        device->window = window;
        device->io = deviceIo;
        device->handle.store(handle);
        device->room = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        devices[i] = device;
        if (info.sendsSettings) {
            deviceIo->Control(handle, IOCTL_TARN_SET_SETTINGS, settingsBytes, sizeof(settingsBytes),
                              nullptr, 0);
        }
        device->runningFlag.store(1);
        // Readers only wait and copy; a small stack is plenty.
        // Readers are never waited for: the thread's handle is only needed to raise it.
        const UniqueHandle thread(
            device->room ? CreateThread(nullptr, 1024, ReaderThread, device, 0, nullptr) : nullptr);
        if (!thread) {
            // An open device nobody reads would never signal anything: treat it as not opened.
            device->runningFlag.store(0);
            CloseDevice(device);
            continue;
        }
        SetThreadPriority(thread.Get(), kEventPathPriority);
        anyOpen = true;
    }
    return anyOpen;
}

void CloseFilterDrivers() {
    for (DeviceState* device : devices) {
        if (!device) {
            continue;
        }
        HANDLE handle = device->handle.exchange(INVALID_HANDLE_VALUE);
        if (handle == INVALID_HANDLE_VALUE) {
            continue; // its reader failed and closed it already
        }
        device->enable.store(0);
        // Told to end before the stop: a driver that completes the wait on stop must find the
        // reader already on its way out, not fetching from a device about to close.
        device->runningFlag.store(0);
        uint8_t wait[kWaitRecordLength];
        EncodeWaitOf(device, wait);
        device->io->Control(handle, kFilterDevices[device->index].stopCode, wait, sizeof(wait),
                            nullptr, 0);
        device->io->Close(handle);
        SetEvent(device->room); // a reader waiting for room ends too
    }
}

bool TakeDriverEvent(WPARAM wParam, LPARAM lParam, EventRecord* record) {
    uint8_t bytes[RecordRing::kSlotLength];
    if (!record || !TakeRecord(wParam, lParam, FilterRecordKind::Event, bytes)) {
        return false;
    }
    *record = DecodeEventRecord(bytes, kEventRecordLength);
    return true;
}

bool TakeHidEvent(WPARAM wParam, LPARAM lParam, HidEventRecord* record) {
    uint8_t bytes[RecordRing::kSlotLength];
    if (!record || !TakeRecord(wParam, lParam, FilterRecordKind::HidEvent, bytes)) {
        return false;
    }
    *record = DecodeHidEventRecord(bytes, kHidEventRecordLength);
    return true;
}
