// Link to the mouse's three kernel filter drivers: their control devices, control codes and
// the binary records exchanged with them. This half is Windows-free: records are encoded and
// decoded byte by byte (little-endian) so the same code serves the native tests, the 64-bit
// agent and any 32-bit tool that speaks to the drivers.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "filter_driver_protocol.h"

// Control codes, device names and record layouts: filter_driver_protocol.h (common/), the
// one definition the stand-in drivers compile too.

// ---- Window messages posted by the readers ----

inline constexpr uint32_t MSG_DRIVER_EVENT = 3026;
inline constexpr uint32_t MSG_HID_EVENT = 3028;

// ---- Records ----

inline constexpr size_t kSettingsRecordLength = TARN_SETTINGS_RECORD_LENGTH;
inline constexpr size_t kWaitRecordLength = TARN_WAIT_RECORD_LENGTH;
inline constexpr size_t kEventRecordLength = TARN_EVENT_RECORD_LENGTH;
inline constexpr size_t kHidEventRecordLength = TARN_HID_EVENT_RECORD_LENGTH;

void EncodeSettingsRecord(const SettingsRecord& record, uint8_t (&out)[kSettingsRecordLength]);
SettingsRecord DecodeSettingsRecord(const uint8_t* bytes, size_t length);
void EncodeWaitRecord(const WaitRecord& record, uint8_t (&out)[kWaitRecordLength]);
WaitRecord DecodeWaitRecord(const uint8_t* bytes, size_t length);
void EncodeEventRecord(const EventRecord& record, uint8_t (&out)[kEventRecordLength]);
EventRecord DecodeEventRecord(const uint8_t* bytes, size_t length);
void EncodeHidEventRecord(const HidEventRecord& record, uint8_t (&out)[kHidEventRecordLength]);
HidEventRecord DecodeHidEventRecord(const uint8_t* bytes, size_t length);
// Decoders read at most `length` bytes; missing bytes read as zero.

SettingsRecord SettingsRecordOf(uint32_t buttonA, uint32_t buttonB, uint32_t scrolling);

// ---- The three control devices, in the order they are tried ----

enum class FilterRecordKind { Event, HidEvent };

struct FilterDeviceInfo {
    const wchar_t* name;
    bool sendsSettings;
    uint32_t armCode;
    uint32_t fetchCode;
    uint32_t stopCode;
    FilterRecordKind recordKind;
    size_t recordLength;
    uint32_t message;
};

// How long the HID upper filter's reader waits before its n-th fetch in a row after failed
// ones (n >= 2): doubling from 10 ms up to half a second, so a driver that fails every fetch
// costs a few wake-ups a second instead of a core.
inline constexpr uint32_t FetchRetryDelayMs(int failedInARow) {
    uint32_t delay = 10;
    for (int n = 2; n < failedInARow && delay < 500; ++n)
        delay *= 2;
    return delay < 500 ? delay : 500;
}

inline constexpr int kFilterDeviceCount = TARN_FILTER_DEVICE_COUNT;
inline constexpr FilterDeviceInfo kFilterDevices[kFilterDeviceCount] = {
    {L"\\\\.\\" TARN_HID_LOWER_FILTER_NAME, true, IOCTL_TARN_ARM_EVENT, IOCTL_TARN_GET_EVENT,
     IOCTL_TARN_STOP, FilterRecordKind::Event, kEventRecordLength, MSG_DRIVER_EVENT},
    {L"\\\\.\\" TARN_PS2_UPPER_FILTER_NAME, true, IOCTL_TARN_ARM_EVENT, IOCTL_TARN_GET_EVENT,
     IOCTL_TARN_STOP, FilterRecordKind::Event, kEventRecordLength, MSG_DRIVER_EVENT},
    {L"\\\\.\\" VELL_HID_UPPER_FILTER_NAME, false, IOCTL_VELL_ARM_EVENT, IOCTL_VELL_GET_EVENT,
     IOCTL_VELL_STOP, FilterRecordKind::HidEvent, kHidEventRecordLength, MSG_HID_EVENT},
};

// ---- Hand-off of fetched records from one reader to the window thread ----

// A reader copies each fetched record into its own ring and posts the record's sequence
// number; the window thread copies it out when it handles the message. One producer (the
// reader), one consumer (the window thread). The producer never overwrites a slot the
// consumer has not released, so two readers, or a slow window thread, can neither tear nor
// replace a record before it is read. A message that never arrives only costs its slot until
// a later one is taken.
class RecordRing {
  public:
    static constexpr uint32_t kCapacity = 256;
    static constexpr size_t kSlotLength = kEventRecordLength;

    // Copies the record in; false (nothing stored) while the ring is full. On success *seq is
    // the number to carry with the message.
    bool Push(const uint8_t* record, size_t length, uint32_t* seq);
    // Copies out the record numbered seq; false for a number not currently held (stale,
    // already taken, never pushed). Taking a number releases it and every older one.
    bool Take(uint32_t seq, uint8_t (&out)[kSlotLength]);
    // Records pushed and not yet released.
    uint32_t Pending() const;

  private:
    std::atomic<uint32_t> head_{0}; // next number to push (written by the producer)
    std::atomic<uint32_t> tail_{0}; // oldest number not released (written by the consumer)
    uint8_t slots_[kCapacity][kSlotLength] = {};
};
