// Link to the mouse's three kernel filter drivers: their control devices, control codes and
// the binary records exchanged with them. This half is Windows-free: records are encoded and
// decoded byte by byte (little-endian) so the same code serves the native tests, the 64-bit
// agent and any 32-bit tool that speaks to the drivers.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// ---- Control codes (all METHOD_BUFFERED) ----

constexpr uint32_t TarnCtlCode(uint32_t deviceType, uint32_t function, uint32_t access) {
    return (deviceType << 16) | (access << 14) | (function << 2) | 0u /* METHOD_BUFFERED */;
}
inline constexpr uint32_t kFileDeviceMouse = 0x0F;
inline constexpr uint32_t kFileDeviceUnknown = 0x22;
inline constexpr uint32_t kFileAnyAccess = 0;
inline constexpr uint32_t kFileReadAccess = 1;

inline constexpr uint32_t IOCTL_TARN_SET_SETTINGS =
    TarnCtlCode(kFileDeviceMouse, 0x3F2, kFileAnyAccess);
inline constexpr uint32_t IOCTL_TARN_ARM_EVENT =
    TarnCtlCode(kFileDeviceMouse, 0x3F3, kFileAnyAccess);
inline constexpr uint32_t IOCTL_TARN_STOP = TarnCtlCode(kFileDeviceMouse, 0x3F4, kFileAnyAccess);
inline constexpr uint32_t IOCTL_TARN_GET_EVENT =
    TarnCtlCode(kFileDeviceMouse, 0x3F5, kFileAnyAccess);
inline constexpr uint32_t IOCTL_VELL_ARM_EVENT =
    TarnCtlCode(kFileDeviceUnknown, 0x7DB, kFileAnyAccess);
inline constexpr uint32_t IOCTL_VELL_STOP = TarnCtlCode(kFileDeviceUnknown, 0x7DC, kFileAnyAccess);
inline constexpr uint32_t IOCTL_VELL_GET_EVENT =
    TarnCtlCode(kFileDeviceUnknown, 0x770, kFileReadAccess);
static_assert(IOCTL_TARN_SET_SETTINGS == 0x000F0FC8);
static_assert(IOCTL_TARN_ARM_EVENT == 0x000F0FCC);
static_assert(IOCTL_TARN_STOP == 0x000F0FD0);
static_assert(IOCTL_TARN_GET_EVENT == 0x000F0FD4);
static_assert(IOCTL_VELL_ARM_EVENT == 0x00221F6C);
static_assert(IOCTL_VELL_STOP == 0x00221F70);
static_assert(IOCTL_VELL_GET_EVENT == 0x00225DC0);

// ---- Window messages posted by the readers ----

inline constexpr uint32_t MSG_DRIVER_EVENT = 3026;
inline constexpr uint32_t MSG_HID_EVENT = 3028;

// ---- Records ----

inline constexpr size_t kSettingsRecordLength = 24;
inline constexpr size_t kWaitRecordLength = 16;
inline constexpr size_t kEventRecordLength = 32;
inline constexpr size_t kHidEventRecordLength = 16;

// Handed to the HID lower and PS/2 upper filters once at start-up.
struct SettingsRecord {
    uint32_t reserved0 = 0;
    uint32_t buttonA = 0;
    uint32_t buttonB = 0;
    uint32_t scrolling = 0;
    uint32_t reserved1 = 0;
    uint32_t reserved2 = 0;
};

// Input of every arm, fetch and stop request: the reader's event and whether it runs.
struct WaitRecord {
    uint64_t eventHandle = 0; // a handle of the agent's process, widened to 64 bits
    uint32_t enable = 0;
    uint32_t reserved = 0;
};

// What the HID lower and PS/2 upper filters report.
struct EventRecord {
    uint32_t field0 = 0;
    uint32_t buttonMask = 0; // bit n = button n + 1 down
    uint32_t field8 = 0;
    uint32_t field12 = 0;
    uint32_t field16 = 0;
    uint32_t tilt = 0;   // low byte 1 = right, 0xFF = left; bits 8-15 all ones = single step
    int32_t keyCode = 0; // 113 asks for Ctrl+Windows+Tab
    uint32_t battery = 0;
};

// What the HID upper filter reports.
struct HidEventRecord {
    uint8_t head[12] = {};
    uint32_t code = 0; // 0x24 = button 4, 0x25 = button 5
};

// The structs mirror the wire layout so a debugger shows the bytes where they travel; the
// wire itself is always written through the encoders below, never by copying a struct.
static_assert(sizeof(SettingsRecord) == kSettingsRecordLength);
static_assert(offsetof(SettingsRecord, buttonA) == 4 && offsetof(SettingsRecord, scrolling) == 12);
static_assert(sizeof(WaitRecord) == kWaitRecordLength);
static_assert(offsetof(WaitRecord, enable) == 8 && offsetof(WaitRecord, reserved) == 12);
static_assert(sizeof(EventRecord) == kEventRecordLength);
static_assert(offsetof(EventRecord, buttonMask) == 4 && offsetof(EventRecord, tilt) == 20);
static_assert(offsetof(EventRecord, keyCode) == 24 && offsetof(EventRecord, battery) == 28);
static_assert(sizeof(HidEventRecord) == kHidEventRecordLength);
static_assert(offsetof(HidEventRecord, code) == 12);

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

inline constexpr int kFilterDeviceCount = 3;
inline constexpr FilterDeviceInfo kFilterDevices[kFilterDeviceCount] = {
    {L"\\\\.\\TarnHidLowerFilter", true, IOCTL_TARN_ARM_EVENT, IOCTL_TARN_GET_EVENT,
     IOCTL_TARN_STOP, FilterRecordKind::Event, kEventRecordLength, MSG_DRIVER_EVENT},
    {L"\\\\.\\TarnPS2UpperFilter", true, IOCTL_TARN_ARM_EVENT, IOCTL_TARN_GET_EVENT,
     IOCTL_TARN_STOP, FilterRecordKind::Event, kEventRecordLength, MSG_DRIVER_EVENT},
    {L"\\\\.\\VellHIDupFilter", false, IOCTL_VELL_ARM_EVENT, IOCTL_VELL_GET_EVENT, IOCTL_VELL_STOP,
     FilterRecordKind::HidEvent, kHidEventRecordLength, MSG_HID_EVENT},
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
