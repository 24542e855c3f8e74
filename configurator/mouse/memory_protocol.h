// The mouse's onboard memory over feature report 5: 512-byte blocks moved as eight pages of
// nine 7-byte chunks plus a tail, the active-profile query and the profile select. Each call
// works on one interface that the device walk has opened; none opens, closes or retries.
#pragma once

#include "hid_interfaces.h"
#include "pacing_wait.h"

#include <cstddef>
#include <cstdint>

inline constexpr uint8_t kReportId = 0x05;
inline constexpr uint32_t kReportLength = 8;
inline constexpr uint8_t kMemoryCommand = 0x07;
inline constexpr uint8_t kProfileCommand = 0x09;
inline constexpr uint8_t kDirectionRead = 0x00;
inline constexpr uint8_t kDirectionWrite = 0x01;
inline constexpr uint8_t kQueryActiveProfile = 0xFF;
inline constexpr uint8_t kSelectActiveProfile = 0xFE;
inline constexpr uint8_t kTailFiller = 0x05;

inline constexpr int kHeaderArea = 0;
inline constexpr int kAreaCount = 6; // header + five profiles (area = profile index + 1)
inline constexpr int kPagesPerBlock = 8;
inline constexpr size_t kPageLength = 64;
inline constexpr int kChunksPerPage = 9;
inline constexpr size_t kChunkLength = 7;

// Fixed waits: after every report but a page tail, and after a page tail.
inline constexpr uint32_t kReportWaitMs = 5;
inline constexpr uint32_t kPageWaitMs = 50;

// One open interface and the wait that paces its reports.
struct MouseLink {
    MouseInterfaceSet& interfaces;
    MouseHandle handle;
    PacingWait& wait;
};

enum class BlockDirection { Read, Write };

// One routine in both directions. Read: `block` is cleared to zeros first and each page
// whose command succeeds is filled with what arrived (zeros for failed requests). Write:
// each page whose command succeeds is sent. An area outside 0..5 sends nothing (a read still
// clears the block). Returns true only when the block moved whole: every page command, chunk
// and tail of all eight pages succeeded. The reports sent are the same either way.
bool TransferBlock(const MouseLink& link, BlockDirection direction, int area, uint8_t* block);

// Profile index 0..4 maps to area index + 1. Any other index has no area on the mouse (the
// dialog can hold 5, the mouse's basic state): a read yields 512 zeros, a write and a select
// send nothing. Sending area 6 or select 5 would ask the firmware for something it does not
// define. Each returns whether the block moved whole; a profile write outside 0..4 has
// nothing to move and returns true, a read there returns false (the zeros are not the mouse's).
bool ReadProfileBlock(const MouseLink& link, int profile, uint8_t* block);
bool WriteProfileBlock(const MouseLink& link, int profile, const uint8_t* block);
bool ReadHeaderBlock(const MouseLink& link, uint8_t* block);
bool WriteHeaderBlock(const MouseLink& link, const uint8_t* block);
// Byte 3 of the reply to the query; 0 when the request fails. Whatever byte the mouse answers
// is returned as is (0..255).
int QueryActiveProfile(const MouseLink& link);
void SelectActiveProfile(const MouseLink& link, int profile);
