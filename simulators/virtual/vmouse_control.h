// The control tool's side of report 6 of the virtual mouse, and the memory image it loads
// and dumps: Windows-free, so the encoding is tested natively.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "vmouse_protocol.h"

namespace tarn::virt {

constexpr size_t kAreaCount = 6;
constexpr size_t kAreaLength = 512;
constexpr size_t kPageLength = 64;
constexpr size_t kPagesPerArea = 8;
constexpr size_t kMemoryLength = kAreaCount * kAreaLength;

using ControlReport = std::array<uint8_t, TARN_VMOUSE_CONTROL_LENGTH>;
// Header area first, then profiles 0 to 4: the order of the mouse's area numbers.
using MemoryImage = std::array<uint8_t, kMemoryLength>;

ControlReport MakeControl(uint8_t command, uint8_t area = 0, uint8_t page = 0,
                          int32_t argument = 0);
ControlReport MakeLoadPage(const MemoryImage& image, uint8_t area, uint8_t page);

// Copies the page a dump reply carries into image; false when the reply is not a dump of
// (area, page).
bool TakeDumpedPage(const ControlReport& reply, uint8_t area, uint8_t page, MemoryImage* image);

struct MouseStatus {
    uint32_t activeProfile = 0;
    uint32_t pagesRead = 0;
    uint32_t pagesWritten = 0;
    uint32_t rejectedReports = 0;
    uint32_t featureSets = 0;
    uint32_t featureGets = 0;
    uint32_t persistFailures = 0;
    int32_t cutRemaining = -1; // reports 5 left before every one fails; -1 none
};
std::optional<MouseStatus> ParseStatus(const ControlReport& reply);

// A memory file holds exactly one image; anything else is refused.
std::optional<MemoryImage> ImageFromBytes(const std::vector<uint8_t>& bytes);

// The area named on a command line: "header" (0), "profile0".."profile4" (1..5), or 0..5.
std::optional<uint8_t> ParseArea(const std::string& text);

// The five profiles and the header that TarnDesk's "Reset to Default" writes.
MemoryImage DefaultsAfterReset(const MemoryImage& before);

} // namespace tarn::virt
