/* What the stand-in filter drivers and their injection tool agree on. The device names, the
 * seven control codes and the record layouts are the agent's; the INJECT/READBACK codes are
 * private to the stand-in and never sent by the agent.
 *
 * Plain C, no Windows headers, so the kernel driver, the tools and the native tests share it. */
#ifndef TARN_FILTER_PROTOCOL_H
#define TARN_FILTER_PROTOCOL_H

#include <stdint.h>

#define TARN_CTL_CODE(type, fn, access)                                                            \
    (((uint32_t)(type) << 16) | ((uint32_t)(access) << 14) | ((uint32_t)(fn) << 2))

#define TARN_FILE_DEVICE_MOUSE 0x0F
#define TARN_FILE_DEVICE_UNKNOWN 0x22
#define TARN_ANY_ACCESS 0
#define TARN_READ_ACCESS 1

#define TARN_IOCTL_SET_SETTINGS TARN_CTL_CODE(TARN_FILE_DEVICE_MOUSE, 0x3F2, TARN_ANY_ACCESS)
#define TARN_IOCTL_ARM_EVENT TARN_CTL_CODE(TARN_FILE_DEVICE_MOUSE, 0x3F3, TARN_ANY_ACCESS)
#define TARN_IOCTL_STOP TARN_CTL_CODE(TARN_FILE_DEVICE_MOUSE, 0x3F4, TARN_ANY_ACCESS)
#define TARN_IOCTL_GET_EVENT TARN_CTL_CODE(TARN_FILE_DEVICE_MOUSE, 0x3F5, TARN_ANY_ACCESS)
#define VELL_IOCTL_ARM_EVENT TARN_CTL_CODE(TARN_FILE_DEVICE_UNKNOWN, 0x7DB, TARN_ANY_ACCESS)
#define VELL_IOCTL_STOP TARN_CTL_CODE(TARN_FILE_DEVICE_UNKNOWN, 0x7DC, TARN_ANY_ACCESS)
#define VELL_IOCTL_GET_EVENT TARN_CTL_CODE(TARN_FILE_DEVICE_UNKNOWN, 0x770, TARN_READ_ACCESS)

/* Private to the stand-in: queue one record (input: the device's record) and read back the
 * last settings record plus counters (output: TARN_SIM_STATUS_LENGTH bytes). */
#define TARN_SIM_IOCTL_INJECT TARN_CTL_CODE(TARN_FILE_DEVICE_UNKNOWN, 0xA01, TARN_ANY_ACCESS)
#define TARN_SIM_IOCTL_STATUS TARN_CTL_CODE(TARN_FILE_DEVICE_UNKNOWN, 0xA02, TARN_ANY_ACCESS)
#define TARN_SIM_IOCTL_RESET TARN_CTL_CODE(TARN_FILE_DEVICE_UNKNOWN, 0xA03, TARN_ANY_ACCESS)

#define TARN_SETTINGS_RECORD_LENGTH 24
#define TARN_WAIT_RECORD_LENGTH 16
#define TARN_EVENT_RECORD_LENGTH 32
#define TARN_HID_EVENT_RECORD_LENGTH 16

/* Wait record: 64-bit event handle at 0, enable at 8. */
#define TARN_WAIT_HANDLE_OFFSET 0
#define TARN_WAIT_ENABLE_OFFSET 8
/* Event record fields. */
#define TARN_EVENT_BUTTONS_OFFSET 4
#define TARN_EVENT_TILT_OFFSET 20
#define TARN_EVENT_KEY_OFFSET 24
#define TARN_EVENT_BATTERY_OFFSET 28
/* HID event record: button code at 12. */
#define TARN_HID_EVENT_BUTTON_OFFSET 12

/* Status reply of TARN_SIM_IOCTL_STATUS, little-endian uint32 fields after the settings. */
#define TARN_SIM_STATUS_SETTINGS_OFFSET 0   /* last settings record, 24 bytes */
#define TARN_SIM_STATUS_SETTINGS_COUNT 24   /* settings requests seen */
#define TARN_SIM_STATUS_ARMED 28            /* 1 while an event is armed */
#define TARN_SIM_STATUS_ARMS 32             /* arm requests seen */
#define TARN_SIM_STATUS_FETCHES 36          /* records fetched */
#define TARN_SIM_STATUS_STOPS 40            /* stop requests seen */
#define TARN_SIM_STATUS_QUEUED 44           /* records waiting */
#define TARN_SIM_STATUS_DROPPED 48          /* records lost to a full queue */
#define TARN_SIM_STATUS_SIGNALS 52          /* times the armed event was set */
#define TARN_SIM_STATUS_LAST_STOP_ENABLE 56 /* enable field of the last stop request */
#define TARN_SIM_STATUS_ARM_FAILURES 60     /* arm requests whose event could not be used */
#define TARN_SIM_STATUS_LENGTH 64

#define TARN_SIM_QUEUE_LENGTH 64

#define TARN_FILTER_DEVICE_COUNT 3
/* Indices in the order the agent tries them. */
#define TARN_FILTER_HID_LOWER 0
#define TARN_FILTER_PS2_UPPER 1
#define TARN_FILTER_VELL 2

#endif
