/* What the stand-in filter drivers and their injection tool agree on beyond the agent's
 * protocol (common/filter_driver_protocol.h): the INJECT/STATUS/RESET codes, private to the
 * stand-in and never sent by the agent, and the layout of the status reply.
 *
 * Plain C, no Windows headers, so the kernel driver, the tools and the native tests share it. */
#ifndef TARN_FILTER_PROTOCOL_H
#define TARN_FILTER_PROTOCOL_H

#include "filter_driver_protocol.h"

/* Private to the stand-in: queue one record (input: the device's record) and read back the
 * last settings record plus counters (output: TARN_SIM_STATUS_LENGTH bytes). */
#define TARN_SIM_IOCTL_INJECT TARN_CTL_CODE(TARN_FILE_DEVICE_UNKNOWN, 0xA01, TARN_ANY_ACCESS)
#define TARN_SIM_IOCTL_STATUS TARN_CTL_CODE(TARN_FILE_DEVICE_UNKNOWN, 0xA02, TARN_ANY_ACCESS)
#define TARN_SIM_IOCTL_RESET TARN_CTL_CODE(TARN_FILE_DEVICE_UNKNOWN, 0xA03, TARN_ANY_ACCESS)

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

#endif
