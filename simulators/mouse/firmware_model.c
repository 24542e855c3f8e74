/* The mouse's firmware state machine; see firmware_model.h for the reports and the rules
 * for malformed sequences. Freestanding: plain loops instead of libc. */
#include "firmware_model.h"

static void fill(uint8_t* p, size_t n, uint8_t v) {
    size_t i;
    for (i = 0; i < n; ++i)
        p[i] = v;
}

static void copy(uint8_t* dst, const uint8_t* src, size_t n) {
    size_t i;
    for (i = 0; i < n; ++i)
        dst[i] = src[i];
}

void tarn_fw_clear_faults(TarnFirmware* fw) {
    fill(fw->rejectPages, sizeof fw->rejectPages, 0);
    fw->failArea = -1;
    fw->failPage = -1;
    fw->failTransfer = -1;
    fw->queryAnswer = -1;
    /* The real mouse refuses a page command that comes too soon. */
    fw->strictPacing = 1;
}

void tarn_fw_init(TarnFirmware* fw) {
    fill((uint8_t*)fw, sizeof *fw, 0);
    fw->state = TARN_FW_IDLE;
    tarn_fw_clear_faults(fw);
}

static int faulted_transfer(const TarnFirmware* fw) {
    if (fw->failTransfer < 0 || fw->failTransfer != (int16_t)fw->transfer)
        return 0;
    if (fw->failArea >= 0 && fw->failArea != (int16_t)fw->area)
        return 0;
    if (fw->failPage >= 0 && fw->failPage != (int16_t)fw->page)
        return 0;
    return 1;
}

static int page_command(TarnFirmware* fw, const uint8_t* r, uint64_t nowUs) {
    uint8_t direction = r[2];
    uint8_t area = r[4];
    uint8_t page = r[5];
    int early;

    /* Whatever was open is abandoned; an unfinished write never reaches memory. */
    fw->state = TARN_FW_IDLE;
    early = nowUs != 0 && fw->tailSeen && nowUs - fw->lastTailUs < TARN_FW_PAGE_GAP_US;
    if (early)
        ++fw->pacingViolations;
    if ((direction != TARN_FW_DIR_READ && direction != TARN_FW_DIR_WRITE) || r[3] != 0 ||
        area >= TARN_FW_AREA_COUNT || page >= TARN_FW_PAGE_COUNT)
        return 0;
    if (fw->rejectPages[area] & (1u << page))
        return 0;
    if (early && fw->strictPacing)
        return 0;
    fw->area = area;
    fw->page = page;
    fw->transfer = 0;
    copy(fw->staging, &fw->memory[area][(size_t)page * TARN_FW_PAGE_LENGTH], TARN_FW_PAGE_LENGTH);
    fw->state = direction == TARN_FW_DIR_READ ? TARN_FW_READING : TARN_FW_WRITING;
    return 1;
}

static void end_page(TarnFirmware* fw, uint64_t nowUs) {
    fw->state = TARN_FW_IDLE;
    fw->tailSeen = nowUs != 0;
    fw->lastTailUs = nowUs;
}

static int profile_command(TarnFirmware* fw, const uint8_t* r) {
    fw->state = TARN_FW_IDLE;
    if (r[2] == TARN_FW_SUB_QUERY) {
        fw->state = TARN_FW_QUERIED;
        return 1;
    }
    if (r[2] == TARN_FW_SUB_SELECT)
        return tarn_fw_switch_profile(fw, r[3]);
    return 0;
}

static int write_transfer(TarnFirmware* fw, const uint8_t* r, uint64_t nowUs) {
    int failed = faulted_transfer(fw);
    if (fw->transfer < TARN_FW_CHUNKS_PER_PAGE) {
        if (!failed)
            copy(&fw->staging[(size_t)fw->transfer * TARN_FW_CHUNK_LENGTH], r + 1,
                 TARN_FW_CHUNK_LENGTH);
        ++fw->transfer;
        return !failed;
    }
    /* The tail: byte 63 alone; the filler bytes carry nothing. */
    if (!failed) {
        fw->staging[TARN_FW_PAGE_LENGTH - 1] = r[1];
        copy(&fw->memory[fw->area][(size_t)fw->page * TARN_FW_PAGE_LENGTH], fw->staging,
             TARN_FW_PAGE_LENGTH);
        ++fw->pagesWritten;
    }
    end_page(fw, nowUs);
    return !failed;
}

int tarn_fw_set_feature(TarnFirmware* fw, const uint8_t* report, size_t length, uint64_t nowUs) {
    int ok = 0;
    if (report == 0 || length != TARN_FW_REPORT_LENGTH || report[0] != TARN_FW_REPORT_ID) {
        ++fw->rejectedReports;
        return 0;
    }
    if (fw->state == TARN_FW_WRITING)
        ok = write_transfer(fw, report, nowUs);
    else if (report[1] == TARN_FW_CMD_MEMORY)
        ok = page_command(fw, report, nowUs);
    else if (report[1] == TARN_FW_CMD_PROFILE)
        ok = profile_command(fw, report);
    else
        ok = 0; /* data outside a page, or an unknown command */
    if (!ok)
        ++fw->rejectedReports;
    return ok;
}

int tarn_fw_get_feature(TarnFirmware* fw, uint8_t* report, size_t length, uint64_t nowUs) {
    int failed;
    if (report == 0 || length != TARN_FW_REPORT_LENGTH || report[0] != TARN_FW_REPORT_ID) {
        ++fw->rejectedReports;
        return 0;
    }
    switch (fw->state) {
    case TARN_FW_READING:
        failed = faulted_transfer(fw);
        if (fw->transfer < TARN_FW_CHUNKS_PER_PAGE) {
            if (!failed)
                copy(report + 1, &fw->staging[(size_t)fw->transfer * TARN_FW_CHUNK_LENGTH],
                     TARN_FW_CHUNK_LENGTH);
            ++fw->transfer;
        } else {
            if (!failed) {
                report[1] = fw->staging[TARN_FW_PAGE_LENGTH - 1];
                fill(report + 2, TARN_FW_REPORT_LENGTH - 2, TARN_FW_TAIL_FILLER);
            }
            ++fw->pagesRead;
            end_page(fw, nowUs);
        }
        if (failed)
            ++fw->rejectedReports;
        return !failed;
    case TARN_FW_QUERIED:
        fill(report + 1, TARN_FW_REPORT_LENGTH - 1, 0);
        report[1] = TARN_FW_CMD_PROFILE;
        report[2] = TARN_FW_SUB_QUERY;
        report[3] = fw->queryAnswer >= 0 ? (uint8_t)fw->queryAnswer : fw->activeProfile;
        fw->state = TARN_FW_IDLE;
        return 1;
    case TARN_FW_WRITING:
        ++fw->rejectedReports;
        return 0;
    default:
        fill(report + 1, TARN_FW_REPORT_LENGTH - 1, 0);
        return 1;
    }
}

int tarn_fw_switch_profile(TarnFirmware* fw, int profile) {
    if (profile < 0 || profile >= TARN_FW_PROFILE_COUNT)
        return 0;
    fw->activeProfile = (uint8_t)profile;
    return 1;
}

int tarn_fw_set_active(TarnFirmware* fw, int profile) {
    if (profile < 0 || profile > TARN_FW_BASIC_STATE)
        return 0;
    fw->activeProfile = (uint8_t)profile;
    return 1;
}
