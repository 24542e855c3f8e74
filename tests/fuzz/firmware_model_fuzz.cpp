// The mouse's firmware model fed whatever user mode can send the virtual mouse's driver:
// feature reports of any length and content, sets and gets in any order, with or without a
// clock, between the control commands the driver's test report and the simulated mouse
// apply (profile button, query answer, refused pages, failed transfers, strict pacing).
//
// Checked after every call: the state stays one of the four, an open page stays inside the
// memory, a get writes only within its buffer, memory changes only through a complete page
// write and then only in that page, and a failed or malformed report changes no memory.
//
// Input: operations of one selector byte and their arguments until the input ends.
#include "fuzz_input.h"

#include "firmware_model.h"

#include <cstdlib>
#include <cstring>

namespace {

void CheckState(const TarnFirmware& fw) {
    FUZZ_CHECK(fw.state <= TARN_FW_QUERIED);
    FUZZ_CHECK(fw.activeProfile <= TARN_FW_BASIC_STATE);
    if (fw.state == TARN_FW_READING || fw.state == TARN_FW_WRITING) {
        FUZZ_CHECK(fw.area < TARN_FW_AREA_COUNT && fw.page < TARN_FW_PAGE_COUNT);
        FUZZ_CHECK(fw.transfer <= TARN_FW_TAIL_TRANSFER);
    }
}

// Memory outside page (area, page) is unchanged.
bool OnlyPageChanged(const TarnFirmware& before, const TarnFirmware& after, int area, int page) {
    for (int a = 0; a < TARN_FW_AREA_COUNT; ++a)
        for (int p = 0; p < TARN_FW_PAGE_COUNT; ++p) {
            if (a == area && p == page)
                continue;
            if (std::memcmp(&before.memory[a][size_t(p) * TARN_FW_PAGE_LENGTH],
                            &after.memory[a][size_t(p) * TARN_FW_PAGE_LENGTH],
                            TARN_FW_PAGE_LENGTH) != 0)
                return false;
        }
    return true;
}

void Transfer(FuzzInput& in, TarnFirmware& fw, TarnFirmware& before, uint64_t now, bool set) {
    // Mostly well-formed report-5 transfers, so the sequences get deep; any length and id too.
    const uint8_t shape = in.Byte();
    size_t length = TARN_FW_REPORT_LENGTH;
    if (shape & 0x80)
        length = in.Byte() % 80;
    auto* report = static_cast<uint8_t*>(std::malloc(length ? length : 1));
    for (size_t i = 0; i < length; ++i)
        report[i] = in.Byte();
    if (length > 0 && (shape & 0x40) == 0)
        report[0] = TARN_FW_REPORT_ID;
    if (length > 1 && (shape & 0x30) == 0x10)
        report[1] = TARN_FW_CMD_MEMORY;
    else if (length > 1 && (shape & 0x30) == 0x20)
        report[1] = TARN_FW_CMD_PROFILE;

    // The driver refuses an empty buffer or one whose first byte is not the report id.
    if (length == 0 || report[0] != TARN_FW_REPORT_ID) {
        std::free(report);
        return;
    }
    before = fw;
    const bool wasQueried = fw.state == TARN_FW_QUERIED;
    const bool wasWriting = fw.state == TARN_FW_WRITING;
    const uint8_t openArea = fw.area;
    const uint8_t openPage = fw.page;
    if (set) {
        auto* copy = static_cast<uint8_t*>(std::malloc(length));
        std::memcpy(copy, report, length);
        const int ok = tarn_fw_set_feature(&fw, report, length, now);
        FUZZ_CHECK(std::memcmp(copy, report, length) == 0);
        std::free(copy);
        if (fw.pagesWritten != before.pagesWritten) {
            FUZZ_CHECK(ok && wasWriting && fw.pagesWritten == before.pagesWritten + 1);
            FUZZ_CHECK(OnlyPageChanged(before, fw, openArea, openPage));
        } else {
            FUZZ_CHECK(std::memcmp(before.memory, fw.memory, sizeof fw.memory) == 0);
        }
        if (!ok)
            FUZZ_CHECK(fw.rejectedReports == before.rejectedReports + 1);
        if (length != TARN_FW_REPORT_LENGTH)
            FUZZ_CHECK(!ok && fw.state == before.state);
    } else {
        const int ok = tarn_fw_get_feature(&fw, report, length, now);
        FUZZ_CHECK(std::memcmp(before.memory, fw.memory, sizeof fw.memory) == 0);
        if (length != TARN_FW_REPORT_LENGTH)
            FUZZ_CHECK(!ok && fw.state == before.state);
        if (ok && wasQueried) {
            FUZZ_CHECK(report[1] == TARN_FW_CMD_PROFILE && report[2] == TARN_FW_SUB_QUERY);
            FUZZ_CHECK(report[3] == (before.queryAnswer >= 0 ? uint8_t(before.queryAnswer)
                                                             : before.activeProfile));
        }
    }
    std::free(report);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    static TarnFirmware fw;
    static TarnFirmware before;
    tarn_fw_init(&fw);
    // Memory starts as a pattern so a page that moves shows it.
    for (int a = 0; a < TARN_FW_AREA_COUNT; ++a)
        for (int i = 0; i < TARN_FW_AREA_LENGTH; ++i)
            fw.memory[a][i] = static_cast<uint8_t>(a * 37 + i);
    const bool clocked = in.Bit();
    uint64_t now = clocked ? 1 : 0;

    while (!in.Empty()) {
        const uint8_t selector = in.Byte();
        if (clocked)
            now += (selector & 0x08) ? 50000 : 5000;
        switch (selector % 12) {
        case 0:
        case 1:
        case 2:
        case 3:
            Transfer(in, fw, before, now, true);
            break;
        case 4:
        case 5:
        case 6:
            Transfer(in, fw, before, now, false);
            break;
        case 7: { // the mouse's own profile button, or the control report's set-active
            const int profile = static_cast<int8_t>(in.Byte());
            const uint8_t active = fw.activeProfile;
            const int ok = (selector & 0x10) ? tarn_fw_set_active(&fw, profile)
                                             : tarn_fw_switch_profile(&fw, profile);
            FUZZ_CHECK(ok ? fw.activeProfile == profile : fw.activeProfile == active);
            break;
        }
        case 8: // the control report's query answer: -1..255
            fw.queryAnswer = static_cast<int16_t>(static_cast<int>(in.U16() % 257) - 1);
            break;
        case 9: { // refused pages, for one area or all
            const uint8_t area = in.Byte();
            const uint8_t mask = in.Byte();
            for (int a = 0; a < TARN_FW_AREA_COUNT; ++a)
                if (area == 0xFF || area == a)
                    fw.rejectPages[a] = mask;
            break;
        }
        case 10: // a failing transfer and strict pacing, as the simulated mouse sets them
            // -1 (any, or none) and a little past the layout; mostly values that can match.
            fw.failArea = static_cast<int16_t>(in.Byte() % 8 - 1);
            fw.failPage = static_cast<int16_t>(in.Byte() % 10 - 1);
            fw.failTransfer = static_cast<int16_t>(in.Byte() % 12 - 1);
            fw.strictPacing = in.Bit();
            break;
        default:
            if (selector & 0x10)
                tarn_fw_clear_faults(&fw);
            else
                tarn_fw_init(&fw);
            break;
        }
        CheckState(fw);
    }
    return 0;
}
