// Win32 side of the filter-driver link: opening the control devices, one reader thread per
// opened device, and the hand-off of each fetched record to the agent window.
#pragma once

#include <windows.h>

#include "driver_link.h"

// Priority of the threads that carry a driver event to its action: the readers and the window
// thread. A game keeps every core busy at normal priority; at normal priority these threads
// queue behind it and a button press waits a scheduler slice or more (several milliseconds).
// One step above the game is not enough when the game itself runs a step above normal, so they
// run two steps up; time-critical is left to audio and the like. They can afford it because
// they never spin or poll: the readers sleep in WaitForSingleObject, the window thread in
// GetMessageW, and each event costs microseconds.
inline constexpr int kEventPathPriority = THREAD_PRIORITY_HIGHEST;

// The control devices as the link sees them. Production: CreateFileW, DeviceIoControl and
// CloseHandle. Tests and benchmarks put simulated drivers here before OpenFilterDrivers.
class FilterDeviceIo {
  public:
    virtual ~FilterDeviceIo() = default;
    // INVALID_HANDLE_VALUE when the device cannot be opened.
    virtual HANDLE Open(const wchar_t* name) = 0;
    // A synchronous request; FALSE when it failed.
    virtual BOOL Control(HANDLE device, DWORD code, const void* input, DWORD inputLength,
                         void* output, DWORD outputLength) = 0;
    virtual void Close(HANDLE device) = 0;
};

// The devices used from now on; nullptr restores the real ones. Not thread-safe: call it
// while no device is open.
void SetFilterDeviceIo(FilterDeviceIo* io);

// Opens the three devices, hands the settings to the first two and starts their readers,
// which post MSG_DRIVER_EVENT / MSG_HID_EVENT to `window`. True when at least one opened.
bool OpenFilterDrivers(HWND window, const SettingsRecord& settings);
// Stops and closes every open device; does not wait for the readers.
void CloseFilterDrivers();

// The record carried by a message the readers posted (wParam, lParam of that message);
// false for a message that carries none (stale, forged or already taken).
bool TakeDriverEvent(WPARAM wParam, LPARAM lParam, EventRecord* record);
bool TakeHidEvent(WPARAM wParam, LPARAM lParam, HidEventRecord* record);
