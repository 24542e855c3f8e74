#include "vmouse_control.h"

namespace tarn::virt {

namespace {

uint32_t GetU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

} // namespace

ControlReport MakeControl(uint8_t command, uint8_t area, uint8_t page, int32_t argument) {
    ControlReport report{};
    report[0] = TARN_VMOUSE_CONTROL_REPORT_ID;
    report[TARN_VMOUSE_CTL_COMMAND] = command;
    report[TARN_VMOUSE_CTL_AREA] = area;
    report[TARN_VMOUSE_CTL_PAGE] = page;
    const auto value = static_cast<uint32_t>(argument);
    for (int i = 0; i < 4; ++i)
        report[static_cast<size_t>(TARN_VMOUSE_CTL_ARGUMENT + i)] =
            static_cast<uint8_t>(value >> (8 * i));
    return report;
}

ControlReport MakeLoadPage(const MemoryImage& image, uint8_t area, uint8_t page) {
    ControlReport report = MakeControl(TARN_VMOUSE_LOAD_PAGE, area, page);
    const size_t from = area * kAreaLength + page * kPageLength;
    for (size_t i = 0; i < kPageLength; ++i)
        report[TARN_VMOUSE_CTL_DATA + i] = image[from + i];
    return report;
}

bool TakeDumpedPage(const ControlReport& reply, uint8_t area, uint8_t page, MemoryImage* image) {
    if (reply[0] != TARN_VMOUSE_CONTROL_REPORT_ID ||
        reply[TARN_VMOUSE_CTL_COMMAND] != TARN_VMOUSE_DUMP_PAGE ||
        reply[TARN_VMOUSE_CTL_AREA] != area || reply[TARN_VMOUSE_CTL_PAGE] != page ||
        area >= kAreaCount || page >= kPagesPerArea)
        return false;
    const size_t to = area * kAreaLength + page * kPageLength;
    for (size_t i = 0; i < kPageLength; ++i)
        (*image)[to + i] = reply[TARN_VMOUSE_CTL_DATA + i];
    return true;
}

std::optional<MouseStatus> ParseStatus(const ControlReport& reply) {
    if (reply[0] != TARN_VMOUSE_CONTROL_REPORT_ID ||
        reply[TARN_VMOUSE_CTL_COMMAND] != TARN_VMOUSE_STATUS)
        return std::nullopt;
    const uint8_t* data = reply.data() + TARN_VMOUSE_CTL_DATA;
    MouseStatus status;
    status.activeProfile = GetU32(data + TARN_VMOUSE_STATUS_ACTIVE);
    status.pagesRead = GetU32(data + TARN_VMOUSE_STATUS_PAGES_READ);
    status.pagesWritten = GetU32(data + TARN_VMOUSE_STATUS_PAGES_WRITTEN);
    status.rejectedReports = GetU32(data + TARN_VMOUSE_STATUS_REJECTED);
    status.featureSets = GetU32(data + TARN_VMOUSE_STATUS_FEATURE_SETS);
    status.featureGets = GetU32(data + TARN_VMOUSE_STATUS_FEATURE_GETS);
    status.persistFailures = GetU32(data + TARN_VMOUSE_STATUS_PERSIST_FAILURES);
    status.cutRemaining = static_cast<int32_t>(GetU32(data + TARN_VMOUSE_STATUS_CUT_REMAINING));
    return status;
}

std::optional<MemoryImage> ImageFromBytes(const std::vector<uint8_t>& bytes) {
    if (bytes.size() != kMemoryLength)
        return std::nullopt;
    MemoryImage image{};
    for (size_t i = 0; i < kMemoryLength; ++i)
        image[i] = bytes[i];
    return image;
}

std::optional<uint8_t> ParseArea(const std::string& text) {
    if (text == "header")
        return uint8_t{0};
    if (text.size() == 8 && text.compare(0, 7, "profile") == 0 && text[7] >= '0' && text[7] <= '4')
        return static_cast<uint8_t>(text[7] - '0' + 1);
    if (text.size() == 1 && text[0] >= '0' && text[0] <= '5')
        return static_cast<uint8_t>(text[0] - '0');
    return std::nullopt;
}

MemoryImage DefaultsAfterReset(const MemoryImage& before) {
    MemoryImage after = before;
    for (size_t profile = 0; profile < 5; ++profile) {
        uint8_t* block = after.data() + (profile + 1) * kAreaLength;
        for (size_t i = 0; i < kAreaLength; ++i)
            block[i] = 0;
        for (size_t button = 0; button < 7; ++button) {
            uint8_t* record = block + 4 * button;
            record[0] = static_cast<uint8_t>((profile << 5) | button);
            record[1] = button < 5 ? 1 : 0;
            record[2] = button < 5 ? static_cast<uint8_t>(button) : 0;
            record[3] = 0;
        }
        uint8_t* settings = after.data() + 64 + 8 * profile;
        settings[0] = static_cast<uint8_t>(profile);
        settings[1] = 0;
        settings[2] = 1;
        settings[3] = 8;
        settings[4] = 8;
    }
    return after;
}

} // namespace tarn::virt
