#include "filter_record.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace tarn::virt {

namespace {

void PutU32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// A whole-string number in C notation (decimal, 0x hex); negative values wrap to 32 bits.
std::optional<uint32_t> ParseNumber(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || value < INT32_MIN || value > UINT32_MAX)
        return std::nullopt;
    return static_cast<uint32_t>(value);
}

} // namespace

int ParseDeviceName(const std::string& name) {
    if (name == "hid" || name == "TarnHidLowerFilter")
        return TARN_FILTER_HID_LOWER;
    if (name == "ps2" || name == "TarnPS2UpperFilter")
        return TARN_FILTER_PS2_UPPER;
    if (name == "vell" || name == "VellHIDupFilter")
        return TARN_FILTER_VELL;
    return -1;
}

std::optional<InjectRequest> ParseInjectOptions(const std::vector<std::string>& options) {
    InjectRequest request;
    for (size_t i = 0; i < options.size(); i += 2) {
        if (i + 1 >= options.size())
            return std::nullopt;
        const std::string& name = options[i];
        const std::string& text = options[i + 1];
        if (name == "--rate") {
            char* end = nullptr;
            const double rate = std::strtod(text.c_str(), &end);
            if (text.empty() || *end != '\0' || !(rate >= 0) || rate > 1e6)
                return std::nullopt;
            request.ratePerSecond = rate;
            continue;
        }
        const std::optional<uint32_t> value = ParseNumber(text);
        if (!value)
            return std::nullopt;
        if (name == "--buttons")
            request.buttons = *value;
        else if (name == "--tilt")
            request.tilt = *value;
        else if (name == "--key")
            request.key = static_cast<int32_t>(*value);
        else if (name == "--battery")
            request.battery = *value;
        else if (name == "--code")
            request.code = *value;
        else if (name == "--count" && *value >= 1 && *value <= 1000000)
            request.count = *value;
        else
            return std::nullopt;
    }
    return request;
}

std::vector<uint8_t> BuildRecord(int device, const InjectRequest& request) {
    if (device == TARN_FILTER_VELL) {
        std::vector<uint8_t> record(TARN_HID_EVENT_RECORD_LENGTH, 0);
        PutU32(record, TARN_HID_EVENT_BUTTON_OFFSET, request.code);
        return record;
    }
    std::vector<uint8_t> record(TARN_EVENT_RECORD_LENGTH, 0);
    PutU32(record, TARN_EVENT_BUTTONS_OFFSET, request.buttons);
    PutU32(record, TARN_EVENT_TILT_OFFSET, request.tilt);
    PutU32(record, TARN_EVENT_KEY_OFFSET, static_cast<uint32_t>(request.key));
    PutU32(record, TARN_EVENT_BATTERY_OFFSET, request.battery);
    return record;
}

std::vector<uint8_t> BuildWaitRecord(uint64_t eventHandle, uint32_t enable) {
    std::vector<uint8_t> record(TARN_WAIT_RECORD_LENGTH, 0);
    for (size_t i = 0; i < 8; ++i)
        record[TARN_WAIT_HANDLE_OFFSET + i] = static_cast<uint8_t>(eventHandle >> (8 * i));
    PutU32(record, TARN_WAIT_ENABLE_OFFSET, enable);
    return record;
}

std::string FormatStatus(const uint8_t (&status)[TARN_SIM_STATUS_LENGTH]) {
    std::string line = "settings ";
    char hex[4];
    for (size_t i = 0; i < TARN_SETTINGS_RECORD_LENGTH; ++i) {
        std::snprintf(hex, sizeof(hex), "%02x", status[TARN_SIM_STATUS_SETTINGS_OFFSET + i]);
        line += hex;
    }
    const struct {
        const char* name;
        size_t offset;
    } fields[] = {{"settingsCount", TARN_SIM_STATUS_SETTINGS_COUNT},
                  {"armed", TARN_SIM_STATUS_ARMED},
                  {"arms", TARN_SIM_STATUS_ARMS},
                  {"fetches", TARN_SIM_STATUS_FETCHES},
                  {"stops", TARN_SIM_STATUS_STOPS},
                  {"queued", TARN_SIM_STATUS_QUEUED},
                  {"dropped", TARN_SIM_STATUS_DROPPED},
                  {"signals", TARN_SIM_STATUS_SIGNALS},
                  {"lastStopEnable", TARN_SIM_STATUS_LAST_STOP_ENABLE},
                  {"armFailures", TARN_SIM_STATUS_ARM_FAILURES}};
    for (const auto& field : fields)
        line += std::string(" ") + field.name + " " + std::to_string(GetU32(status + field.offset));
    return line;
}

} // namespace tarn::virt
