// The virtual filter drivers as tests and the injection tool drive them.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "filter_record.h"

namespace tarn::virt {

// Loads the kernel driver from virtualDir (with a trailing backslash) and checks that its
// devices open.
bool StartFilterDrivers(const std::wstring& virtualDir, std::wstring* error);

HANDLE OpenFilterDevice(int device);
bool InjectRecord(int device, const InjectRequest& request);
bool ResetFilterDevice(int device);

struct FilterStatus {
    uint8_t settings[TARN_SETTINGS_RECORD_LENGTH] = {};
    uint32_t settingsCount = 0, armed = 0, arms = 0, fetches = 0, stops = 0, queued = 0,
             dropped = 0, signals = 0, lastStopEnable = 0, armFailures = 0;
    uint8_t raw[TARN_SIM_STATUS_LENGTH] = {};
};
std::optional<FilterStatus> QueryFilterStatus(int device);

} // namespace tarn::virt
