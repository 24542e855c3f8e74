/* The protocol of the mouse's three kernel filter drivers, as TarnAgent and the stand-in
 * drivers both compile it: device names, the seven control codes and the layout of the four
 * records. Plain C without Windows headers, so the freestanding kernel driver, the 64-bit
 * agent and the 32-bit tools include the same text; the layout checks below run in every
 * build that includes it. */
#ifndef TARN_FILTER_DRIVER_PROTOCOL_H
#define TARN_FILTER_DRIVER_PROTOCOL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define TARN_PROTOCOL_ASSERT(condition, text) static_assert(condition, text)
/* C++ code declares records without an initialiser and expects zeros. */
#define TARN_ZERO = 0
#define TARN_ZEROS = {}
#else
#define TARN_PROTOCOL_ASSERT(condition, text) _Static_assert(condition, text)
#define TARN_ZERO
#define TARN_ZEROS
#endif

/* ---- Control devices, in the order the agent tries them ---- */

#define TARN_HID_LOWER_FILTER_NAME L"TarnHidLowerFilter"
#define TARN_PS2_UPPER_FILTER_NAME L"TarnPS2UpperFilter"
#define VELL_HID_UPPER_FILTER_NAME L"VellHIDupFilter"
#define TARN_FILTER_DEVICE_COUNT 3
#define TARN_FILTER_HID_LOWER 0
#define TARN_FILTER_PS2_UPPER 1
#define TARN_FILTER_VELL 2

/* ---- Control codes (all METHOD_BUFFERED) ---- */

#define TARN_CTL_CODE(type, fn, access)                                                            \
    (((uint32_t)(type) << 16) | ((uint32_t)(access) << 14) | ((uint32_t)(fn) << 2))

#define TARN_FILE_DEVICE_MOUSE 0x0F
#define TARN_FILE_DEVICE_UNKNOWN 0x22
#define TARN_ANY_ACCESS 0
#define TARN_READ_ACCESS 1

#define IOCTL_TARN_SET_SETTINGS TARN_CTL_CODE(TARN_FILE_DEVICE_MOUSE, 0x3F2, TARN_ANY_ACCESS)
#define IOCTL_TARN_ARM_EVENT TARN_CTL_CODE(TARN_FILE_DEVICE_MOUSE, 0x3F3, TARN_ANY_ACCESS)
#define IOCTL_TARN_STOP TARN_CTL_CODE(TARN_FILE_DEVICE_MOUSE, 0x3F4, TARN_ANY_ACCESS)
#define IOCTL_TARN_GET_EVENT TARN_CTL_CODE(TARN_FILE_DEVICE_MOUSE, 0x3F5, TARN_ANY_ACCESS)
#define IOCTL_VELL_ARM_EVENT TARN_CTL_CODE(TARN_FILE_DEVICE_UNKNOWN, 0x7DB, TARN_ANY_ACCESS)
#define IOCTL_VELL_STOP TARN_CTL_CODE(TARN_FILE_DEVICE_UNKNOWN, 0x7DC, TARN_ANY_ACCESS)
#define IOCTL_VELL_GET_EVENT TARN_CTL_CODE(TARN_FILE_DEVICE_UNKNOWN, 0x770, TARN_READ_ACCESS)

TARN_PROTOCOL_ASSERT(IOCTL_TARN_SET_SETTINGS == 0x000F0FC8u, "set-settings code");
TARN_PROTOCOL_ASSERT(IOCTL_TARN_ARM_EVENT == 0x000F0FCCu, "arm code");
TARN_PROTOCOL_ASSERT(IOCTL_TARN_STOP == 0x000F0FD0u, "stop code");
TARN_PROTOCOL_ASSERT(IOCTL_TARN_GET_EVENT == 0x000F0FD4u, "get-event code");
TARN_PROTOCOL_ASSERT(IOCTL_VELL_ARM_EVENT == 0x00221F6Cu, "HID upper arm code");
TARN_PROTOCOL_ASSERT(IOCTL_VELL_STOP == 0x00221F70u, "HID upper stop code");
TARN_PROTOCOL_ASSERT(IOCTL_VELL_GET_EVENT == 0x00225DC0u, "HID upper get-event code");

/* ---- Records (little-endian on the wire) ---- */

#define TARN_SETTINGS_RECORD_LENGTH 24
#define TARN_WAIT_RECORD_LENGTH 16
#define TARN_EVENT_RECORD_LENGTH 32
#define TARN_HID_EVENT_RECORD_LENGTH 16

#define TARN_WAIT_HANDLE_OFFSET 0
#define TARN_WAIT_ENABLE_OFFSET 8
#define TARN_EVENT_BUTTONS_OFFSET 4
#define TARN_EVENT_TILT_OFFSET 20
#define TARN_EVENT_KEY_OFFSET 24
#define TARN_EVENT_BATTERY_OFFSET 28
#define TARN_HID_EVENT_BUTTON_OFFSET 12

/* The structs mirror the wire layout so a debugger shows the bytes where they travel; the
 * agent writes the wire through its encoders, never by copying a struct. */

/* Handed to the HID lower and PS/2 upper filters once at start-up. */
typedef struct SettingsRecord {
    uint32_t reserved0 TARN_ZERO;
    uint32_t buttonA TARN_ZERO;
    uint32_t buttonB TARN_ZERO;
    uint32_t scrolling TARN_ZERO;
    uint32_t reserved1 TARN_ZERO;
    uint32_t reserved2 TARN_ZERO;
} SettingsRecord;

/* Input of every arm, fetch and stop request: the reader's event and whether it runs. */
typedef struct WaitRecord {
    uint64_t eventHandle TARN_ZERO; /* a handle of the agent's process, widened to 64 bits */
    uint32_t enable TARN_ZERO;
    uint32_t reserved TARN_ZERO;
} WaitRecord;

/* What the HID lower and PS/2 upper filters report. */
typedef struct EventRecord {
    uint32_t field0 TARN_ZERO;
    uint32_t buttonMask TARN_ZERO; /* bit n = button n + 1 down */
    uint32_t field8 TARN_ZERO;
    uint32_t field12 TARN_ZERO;
    uint32_t field16 TARN_ZERO;
    uint32_t tilt TARN_ZERO; /* low byte 1 = right, 0xFF = left; bits 8-15 all ones = single step */
    int32_t keyCode TARN_ZERO; /* 113 asks for Ctrl+Windows+Tab */
    uint32_t battery TARN_ZERO;
} EventRecord;

/* What the HID upper filter reports. */
typedef struct HidEventRecord {
    uint8_t head[12] TARN_ZEROS;
    uint32_t code TARN_ZERO; /* 0x24 = button 4, 0x25 = button 5 */
} HidEventRecord;

TARN_PROTOCOL_ASSERT(sizeof(SettingsRecord) == TARN_SETTINGS_RECORD_LENGTH, "settings record");
TARN_PROTOCOL_ASSERT(offsetof(SettingsRecord, buttonA) == 4, "settings buttonA");
TARN_PROTOCOL_ASSERT(offsetof(SettingsRecord, scrolling) == 12, "settings scrolling");
TARN_PROTOCOL_ASSERT(sizeof(WaitRecord) == TARN_WAIT_RECORD_LENGTH, "wait record");
TARN_PROTOCOL_ASSERT(offsetof(WaitRecord, eventHandle) == TARN_WAIT_HANDLE_OFFSET, "wait handle");
TARN_PROTOCOL_ASSERT(offsetof(WaitRecord, enable) == TARN_WAIT_ENABLE_OFFSET, "wait enable");
TARN_PROTOCOL_ASSERT(offsetof(WaitRecord, reserved) == 12, "wait reserved");
TARN_PROTOCOL_ASSERT(sizeof(EventRecord) == TARN_EVENT_RECORD_LENGTH, "event record");
TARN_PROTOCOL_ASSERT(offsetof(EventRecord, buttonMask) == TARN_EVENT_BUTTONS_OFFSET, "buttons");
TARN_PROTOCOL_ASSERT(offsetof(EventRecord, tilt) == TARN_EVENT_TILT_OFFSET, "tilt");
TARN_PROTOCOL_ASSERT(offsetof(EventRecord, keyCode) == TARN_EVENT_KEY_OFFSET, "key code");
TARN_PROTOCOL_ASSERT(offsetof(EventRecord, battery) == TARN_EVENT_BATTERY_OFFSET, "battery");
TARN_PROTOCOL_ASSERT(sizeof(HidEventRecord) == TARN_HID_EVENT_RECORD_LENGTH, "HID event record");
TARN_PROTOCOL_ASSERT(offsetof(HidEventRecord, code) == TARN_HID_EVENT_BUTTON_OFFSET, "HID code");

#endif
