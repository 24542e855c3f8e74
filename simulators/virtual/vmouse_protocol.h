/* What the virtual mouse's HID minidriver and its control tool agree on.
 *
 * The mouse's configuration collection carries feature report 5 (8 bytes, the memory protocol
 * the configurator speaks) and a second, test-only feature report 6 (72 bytes) through which
 * the control tool plays the part of the user's hand and of a factory fixture: load and dump
 * memory pages, press the mouse's own profile button, fake the query answer, refuse pages.
 * The configurator never sends report 6.
 *
 * The driver keeps the onboard memory in the registry under its service key, so it survives
 * unplugging and wineserver restarts as a mouse's flash does.
 *
 * Plain C, no Windows headers. */
#ifndef TARN_VMOUSE_PROTOCOL_H
#define TARN_VMOUSE_PROTOCOL_H

#include <stdint.h>

#define TARN_VMOUSE_VID 0xF1D0
#define TARN_VMOUSE_PID 0x0084
#define TARN_VMOUSE_HARDWARE_ID L"ROOT\\VID_F1D0&PID_0084&MI_02&COL01"
#define TARN_VMOUSE_INSTANCE_ID L"ROOT\\VID_F1D0&PID_0084&MI_02&COL01\\0000"
#define TARN_VMOUSE_PATH_PATTERN L"vid_f1d0&pid_0084&mi_02&col01"
#define TARN_VMOUSE_SERVICE L"tarnvmouse"
/* Persisted state, under HKLM\System\CurrentControlSet\Services\tarnvmouse\Parameters. */
#define TARN_VMOUSE_PARAMETERS_KEY L"System\\CurrentControlSet\\Services\\tarnvmouse\\Parameters"
#define TARN_VMOUSE_MEMORY_VALUE L"Memory"        /* REG_BINARY, 6 x 512 bytes */
#define TARN_VMOUSE_ACTIVE_VALUE L"ActiveProfile" /* REG_DWORD, 0..5 */

#define TARN_VMOUSE_CONTROL_REPORT_ID 6
#define TARN_VMOUSE_CONTROL_LENGTH 72
/* Control report layout: [0] id, [1] command, [2] area, [3] page, [4..7] int32 argument,
 * [8..71] one 64-byte page. */
#define TARN_VMOUSE_CTL_COMMAND 1
#define TARN_VMOUSE_CTL_AREA 2
#define TARN_VMOUSE_CTL_PAGE 3
#define TARN_VMOUSE_CTL_ARGUMENT 4
#define TARN_VMOUSE_CTL_DATA 8

/* Set commands. */
#define TARN_VMOUSE_LOAD_PAGE 1    /* area, page, data: store the page */
#define TARN_VMOUSE_DUMP_PAGE 2    /* area, page: the next get returns that page */
#define TARN_VMOUSE_PRESS_SWITCH 3 /* argument 0..4: the mouse's own profile button */
#define TARN_VMOUSE_QUERY_ANSWER 4 /* argument: byte the query answers, -1 the active one */
#define TARN_VMOUSE_REJECT_PAGES 5 /* area (0xFF all), argument: bit p refuses page p */
#define TARN_VMOUSE_SET_ACTIVE 6   /* argument 0..5, 5 the basic state */
#define TARN_VMOUSE_CLEAR_FAULTS 7 /* faults off, counters zero */
#define TARN_VMOUSE_RELOAD 8       /* re-read memory and active profile from the registry */
#define TARN_VMOUSE_STATUS 9       /* the next get returns the status block */
/* argument N >= 0: after N more reports 5 every report 5 fails (-1: never), as when the host
 * dies in the middle of a transfer: the firmware keeps the state the last report left. */
#define TARN_VMOUSE_CUT_AFTER 10

/* Status block, in the data bytes of a get after TARN_VMOUSE_STATUS (uint32 little-endian). */
#define TARN_VMOUSE_STATUS_ACTIVE 0
#define TARN_VMOUSE_STATUS_PAGES_READ 4
#define TARN_VMOUSE_STATUS_PAGES_WRITTEN 8
#define TARN_VMOUSE_STATUS_REJECTED 12
#define TARN_VMOUSE_STATUS_FEATURE_SETS 16
#define TARN_VMOUSE_STATUS_FEATURE_GETS 20
#define TARN_VMOUSE_STATUS_PERSIST_FAILURES 24
#define TARN_VMOUSE_STATUS_CUT_REMAINING 28 /* reports left before the cut; 0xFFFFFFFF none */

#endif
