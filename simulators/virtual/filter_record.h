// Records the injection tool hands the virtual filter drivers, and the status they report:
// Windows-free, so the byte layouts are tested natively.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "filter_protocol.h"

namespace tarn::virt {

struct InjectRequest {
    uint32_t buttons = 0;     // event record: bit n while button n + 1 is down
    uint32_t tilt = 0;        // event record: tilt value
    int32_t key = 0;          // event record: key code (113 asks for Ctrl+Windows+Tab)
    uint32_t battery = 0;     // event record: nonzero while the battery is low
    uint32_t code = 0;        // HID event record: 0x24 button 4, 0x25 button 5
    uint32_t count = 1;       // records to emit
    double ratePerSecond = 0; // 0: as fast as the device takes them
};

// "hid", "ps2" or "vell" (or the device names themselves); -1 otherwise.
int ParseDeviceName(const std::string& name);

// --buttons M --tilt T --key K --battery B --code C --count N --rate R (numbers in C notation).
std::optional<InjectRequest> ParseInjectOptions(const std::vector<std::string>& options);

// The event record (devices 0 and 1, 32 bytes) or HID event record (device 2, 16 bytes).
std::vector<uint8_t> BuildRecord(int device, const InjectRequest& request);

std::vector<uint8_t> BuildWaitRecord(uint64_t eventHandle, uint32_t enable);

// One line: the settings record in hex and the counters, for logs and tests to parse.
std::string FormatStatus(const uint8_t (&status)[TARN_SIM_STATUS_LENGTH]);

} // namespace tarn::virt
