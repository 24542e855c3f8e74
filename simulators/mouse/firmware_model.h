/* The mouse's firmware as a plain state machine: six 512-byte memory areas, the memory page
 * command with its nine 7-byte transfers and tail, the active-profile query and select.
 *
 * Freestanding C: no allocation, no libc, only <stddef.h> and <stdint.h>. The same source
 * runs inside the in-process simulated mouse and inside the kernel-mode HID minidriver, so
 * the two can never disagree. All state lives in the caller's TarnFirmware; nothing is global.
 *
 * Feature report 5, always 8 bytes, byte 0 the report id. Host to mouse (set):
 *   05 07 dd 00 aa pp 00 00   memory page command: dd 0 read / 1 write, area aa, page pp
 *   05 b0 .. b6               data chunk k of a page being written (page bytes 7k..7k+6)
 *   05 b63 xx xx xx xx xx xx  tail of a page being written (filler bytes ignored)
 *   05 09 FF ..               active-profile query (next get answers)
 *   05 09 FE ii ..            select profile ii
 * Mouse to host (get): chunk k of a page being read in bytes 1..7, then the tail with page
 * byte 63 in byte 1 and 0x05 in bytes 2..7; after a query, 05 09 FF ii 00 00 00 00.
 *
 * Malformed sequences (the host never sends them, but a buggy host or a fuzzer does):
 * - A report whose length is not 8 or whose byte 0 is not 5 fails; state is unchanged.
 * - A page command with an area above 5, a page above 7, a direction other than 0/1, or a
 *   nonzero byte 3 fails and leaves the mouse idle; nothing moves.
 * - A profile-control command with a sub-code other than FF/FE, or any other command byte
 *   while idle, fails; the mouse stays idle.
 * - While a page is being written, every set report is its next transfer (data can look like
 *   a command), so only the tail ends it. The page reaches memory with its tail; a page
 *   whose tail never comes changes no memory. A get during a write fails.
 * - While a page is being read, a new page or profile command abandons it; any other set
 *   report fails and leaves the page where it was.
 * - A get while idle answers 05 00 00 00 00 00 00 00 and succeeds.
 * - Select with an index above 4 fails and leaves the active profile unchanged (5, the basic
 *   state, is entered only through tarn_fw_set_active).
 * - A page command that arrives sooner than 50 ms after the previous tail is counted in
 *   pacingViolations (when the caller supplies times); with strictPacing, which is on unless
 *   a test turns it off, it also fails and nothing of that page moves.
 *
 * Fault hooks (for tests; tarn_fw_init clears them and turns strictPacing on):
 * - rejectPages[area]: bit p set makes the page command for that area and page fail.
 * - failTransfer (0..8 a chunk, 9 the tail, -1 none) of failArea/failPage (-1: any): that
 *   transfer fails. It still uses up its place in the page, so the page stays aligned: a
 *   failed chunk of a write keeps the old bytes, a failed tail of a write drops the whole
 *   page, a failed get of a read gives the host nothing.
 * - queryAnswer (-1: the active profile) is the byte the query reply carries in byte 3.
 */
#ifndef TARN_FIRMWARE_MODEL_H
#define TARN_FIRMWARE_MODEL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TARN_FW_REPORT_ID 5
#define TARN_FW_REPORT_LENGTH 8
#define TARN_FW_AREA_COUNT 6
#define TARN_FW_AREA_LENGTH 512
#define TARN_FW_PAGE_COUNT 8
#define TARN_FW_PAGE_LENGTH 64
#define TARN_FW_CHUNK_LENGTH 7
#define TARN_FW_CHUNKS_PER_PAGE 9
#define TARN_FW_TAIL_TRANSFER 9
#define TARN_FW_PROFILE_COUNT 5
#define TARN_FW_BASIC_STATE 5
#define TARN_FW_PAGE_GAP_US 50000u

#define TARN_FW_CMD_MEMORY 0x07
#define TARN_FW_CMD_PROFILE 0x09
#define TARN_FW_DIR_READ 0x00
#define TARN_FW_DIR_WRITE 0x01
#define TARN_FW_SUB_QUERY 0xFF
#define TARN_FW_SUB_SELECT 0xFE
#define TARN_FW_TAIL_FILLER 0x05

enum TarnFirmwareState {
    TARN_FW_IDLE = 0,
    TARN_FW_READING = 1,
    TARN_FW_WRITING = 2,
    TARN_FW_QUERIED = 3
};

typedef struct TarnFirmware {
    uint8_t memory[TARN_FW_AREA_COUNT][TARN_FW_AREA_LENGTH];
    uint8_t activeProfile;

    /* Sequence state. */
    uint8_t state;    /* enum TarnFirmwareState */
    uint8_t area;     /* area of the open page */
    uint8_t page;     /* the open page */
    uint8_t transfer; /* next transfer of the open page: 0..8 chunks, 9 tail */
    uint8_t staging[TARN_FW_PAGE_LENGTH];

    /* Fault hooks. */
    uint8_t rejectPages[TARN_FW_AREA_COUNT];
    int16_t failArea;
    int16_t failPage;
    int16_t failTransfer;
    int16_t queryAnswer;
    uint8_t strictPacing;

    /* Pacing: times in microseconds from the caller's clock; 0 means "no time known". */
    uint8_t tailSeen;
    uint64_t lastTailUs;

    /* Counters for tests and diagnostics. */
    uint32_t pagesRead;
    uint32_t pagesWritten;
    uint32_t rejectedReports;
    uint32_t pacingViolations;
} TarnFirmware;

/* Clears memory, selects profile 0, goes idle and clears every fault hook. */
void tarn_fw_init(TarnFirmware* fw);
/* Clears the fault hooks only. */
void tarn_fw_clear_faults(TarnFirmware* fw);

/* HidD_SetFeature / HidD_GetFeature as the mouse sees them. nowUs is the caller's clock in
 * microseconds, or 0 when unknown (no pacing check). Return 1 on success, 0 on failure. */
int tarn_fw_set_feature(TarnFirmware* fw, const uint8_t* report, size_t length, uint64_t nowUs);
int tarn_fw_get_feature(TarnFirmware* fw, uint8_t* report, size_t length, uint64_t nowUs);

/* A profile switch made on the mouse itself (a kind-10 button): 0..4. Returns 0 otherwise. */
int tarn_fw_switch_profile(TarnFirmware* fw, int profile);
/* Sets the active index, including 5 (the basic state). Returns 0 above 5. */
int tarn_fw_set_active(TarnFirmware* fw, int profile);

#ifdef __cplusplus
}
#endif

#endif
