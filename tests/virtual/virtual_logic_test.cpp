#include <gtest/gtest.h>

#include "filter_record.h"
#include "vmouse_control.h"

namespace tarn::virt {
namespace {

TEST(FilterCodes, MatchTheAgentsControlCodes) {
    EXPECT_EQ(IOCTL_TARN_SET_SETTINGS, 0x000F0FC8u);
    EXPECT_EQ(IOCTL_TARN_ARM_EVENT, 0x000F0FCCu);
    EXPECT_EQ(IOCTL_TARN_STOP, 0x000F0FD0u);
    EXPECT_EQ(IOCTL_TARN_GET_EVENT, 0x000F0FD4u);
    EXPECT_EQ(IOCTL_VELL_ARM_EVENT, 0x00221F6Cu);
    EXPECT_EQ(IOCTL_VELL_STOP, 0x00221F70u);
    EXPECT_EQ(IOCTL_VELL_GET_EVENT, 0x00225DC0u);
}

TEST(FilterRecord, EventRecordCarriesEachFieldAtItsOffset) {
    InjectRequest request;
    request.buttons = 0x208;
    request.tilt = 0xFF01;
    request.key = 113;
    request.battery = 1;
    std::vector<uint8_t> record = BuildRecord(TARN_FILTER_PS2_UPPER, request);
    ASSERT_EQ(record.size(), 32u);
    std::vector<uint8_t> expected(32, 0);
    expected[4] = 0x08;
    expected[5] = 0x02;
    expected[20] = 0x01;
    expected[21] = 0xFF;
    expected[24] = 113;
    expected[28] = 1;
    EXPECT_EQ(record, expected);
}

TEST(FilterRecord, HidEventRecordCarriesOnlyTheButtonCode) {
    InjectRequest request;
    request.buttons = 0xFFFF; // not part of this record
    request.code = 0x25;
    std::vector<uint8_t> record = BuildRecord(TARN_FILTER_VELL, request);
    std::vector<uint8_t> expected(16, 0);
    expected[12] = 0x25;
    EXPECT_EQ(record, expected);
}

TEST(FilterRecord, WaitRecordHoldsSixtyFourBitHandleAndEnable) {
    std::vector<uint8_t> record = BuildWaitRecord(0x1122334455667788ull, 1);
    std::vector<uint8_t> expected = {0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11,
                                     1,    0,    0,    0,    0,    0,    0,    0};
    EXPECT_EQ(record, expected);
}

TEST(FilterRecord, InjectOptionsParseAndRefuseMalformedInput) {
    auto request =
        ParseInjectOptions({"--buttons", "0x8", "--key", "113", "--count", "5", "--rate", "50"});
    ASSERT_TRUE(request);
    EXPECT_EQ(request->buttons, 8u);
    EXPECT_EQ(request->key, 113);
    EXPECT_EQ(request->count, 5u);
    EXPECT_DOUBLE_EQ(request->ratePerSecond, 50.0);
    auto negativeTilt = ParseInjectOptions({"--tilt", "-1"});
    ASSERT_TRUE(negativeTilt);
    EXPECT_EQ(negativeTilt->tilt, 0xFFFFFFFFu);

    EXPECT_FALSE(ParseInjectOptions({"--buttons"}));            // value missing
    EXPECT_FALSE(ParseInjectOptions({"--buttons", "8x"}));      // trailing junk
    EXPECT_FALSE(ParseInjectOptions({"--count", "0"}));         // nothing to emit
    EXPECT_FALSE(ParseInjectOptions({"--rate", "-3"}));         // negative rate
    EXPECT_FALSE(ParseInjectOptions({"--colour", "1"}));        // unknown option
    EXPECT_FALSE(ParseInjectOptions({"--key", "99999999999"})); // beyond 32 bits
}

TEST(FilterRecord, DeviceNamesAndStatusLine) {
    EXPECT_EQ(ParseDeviceName("hid"), TARN_FILTER_HID_LOWER);
    EXPECT_EQ(ParseDeviceName("TarnPS2UpperFilter"), TARN_FILTER_PS2_UPPER);
    EXPECT_EQ(ParseDeviceName("vell"), TARN_FILTER_VELL);
    EXPECT_EQ(ParseDeviceName("HID"), -1);

    uint8_t status[TARN_SIM_STATUS_LENGTH] = {};
    status[4] = 0xAB; // buttonA's low byte
    status[TARN_SIM_STATUS_SETTINGS_COUNT] = 2;
    status[TARN_SIM_STATUS_DROPPED + 1] = 1; // 256
    const std::string line = FormatStatus(status);
    EXPECT_EQ(line.substr(0, 9 + 48), "settings 00000000ab" + std::string(38, '0'));
    EXPECT_NE(line.find(" settingsCount 2 "), std::string::npos);
    EXPECT_NE(line.find(" dropped 256 "), std::string::npos);
}

TEST(MouseControl, LoadedPageComesBackFromADumpReply) {
    MemoryImage image{};
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<uint8_t>(i * 13 + 1);
    ControlReport load = MakeLoadPage(image, 3, 7);
    EXPECT_EQ(load[0], TARN_VMOUSE_CONTROL_REPORT_ID);
    EXPECT_EQ(load[TARN_VMOUSE_CTL_COMMAND], TARN_VMOUSE_LOAD_PAGE);
    EXPECT_EQ(load[TARN_VMOUSE_CTL_DATA], image[3 * 512 + 7 * 64]);
    EXPECT_EQ(load[TARN_VMOUSE_CTL_DATA + 63], image[3 * 512 + 7 * 64 + 63]);

    // The driver answers a dump with the same layout.
    ControlReport reply = load;
    reply[TARN_VMOUSE_CTL_COMMAND] = TARN_VMOUSE_DUMP_PAGE;
    MemoryImage copy{};
    ASSERT_TRUE(TakeDumpedPage(reply, 3, 7, &copy));
    EXPECT_TRUE(std::equal(copy.begin() + 3 * 512 + 7 * 64, copy.begin() + 3 * 512 + 8 * 64,
                           image.begin() + 3 * 512 + 7 * 64));
    EXPECT_FALSE(TakeDumpedPage(reply, 3, 6, &copy)); // a reply for another page
    reply[TARN_VMOUSE_CTL_AREA] = 9;
    EXPECT_FALSE(TakeDumpedPage(reply, 9, 7, &copy)); // no such area
}

TEST(MouseControl, ArgumentIsLittleEndianAndSigned) {
    ControlReport report = MakeControl(TARN_VMOUSE_QUERY_ANSWER, 0, 0, -1);
    EXPECT_EQ(report[4], 0xFF);
    EXPECT_EQ(report[7], 0xFF);
    report = MakeControl(TARN_VMOUSE_REJECT_PAGES, 2, 0, 0x0108);
    EXPECT_EQ(report[TARN_VMOUSE_CTL_AREA], 2);
    EXPECT_EQ(report[4], 0x08);
    EXPECT_EQ(report[5], 0x01);
}

TEST(MouseControl, StatusParsesOnlyAStatusReply) {
    ControlReport reply = MakeControl(TARN_VMOUSE_STATUS);
    reply[TARN_VMOUSE_CTL_DATA + TARN_VMOUSE_STATUS_ACTIVE] = 3;
    reply[TARN_VMOUSE_CTL_DATA + TARN_VMOUSE_STATUS_PAGES_WRITTEN + 1] = 1;
    auto status = ParseStatus(reply);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->activeProfile, 3u);
    EXPECT_EQ(status->pagesWritten, 256u);
    reply[TARN_VMOUSE_CTL_COMMAND] = TARN_VMOUSE_DUMP_PAGE;
    EXPECT_FALSE(ParseStatus(reply));
}

TEST(MouseControl, MemoryFilesMustHoldExactlyOneImage) {
    EXPECT_TRUE(ImageFromBytes(std::vector<uint8_t>(3072, 1)));
    EXPECT_FALSE(ImageFromBytes(std::vector<uint8_t>(3071, 1)));
    EXPECT_FALSE(ImageFromBytes(std::vector<uint8_t>(3073, 1)));
    EXPECT_FALSE(ImageFromBytes({}));
}

TEST(MouseControl, AreaNames) {
    EXPECT_EQ(ParseArea("header"), 0);
    EXPECT_EQ(ParseArea("profile0"), 1);
    EXPECT_EQ(ParseArea("profile4"), 5);
    EXPECT_EQ(ParseArea("5"), 5);
    EXPECT_FALSE(ParseArea("profile5"));
    EXPECT_FALSE(ParseArea("6"));
    EXPECT_FALSE(ParseArea(""));
}

TEST(MouseControl, ResetDefaultsKeepTheRestOfTheHeader) {
    MemoryImage before{};
    before.fill(0xEE);
    MemoryImage after = DefaultsAfterReset(before);
    // Profile 2's button 1: slot 2<<5|1, right click.
    EXPECT_EQ(after[3 * 512 + 4], 0x41);
    EXPECT_EQ(after[3 * 512 + 5], 1);
    EXPECT_EQ(after[3 * 512 + 6], 1);
    EXPECT_EQ(after[3 * 512 + 28], 0);      // event lists cleared
    EXPECT_EQ(after[64 + 8 * 2 + 3], 8);    // 800 dpi
    EXPECT_EQ(after[64 + 8 * 2 + 5], 0xEE); // the rest of the record kept
    EXPECT_EQ(after[0], 0xEE);              // header bytes outside the records kept
}

} // namespace
} // namespace tarn::virt

// The stand-in drivers and the agent compile one protocol header, whose layout checks run at
// build time; what is left to check is that the bytes the stand-in builds decode as built.
#include "driver_link.h"

namespace tarn::virt {
namespace {

TEST(FilterRecord, AgentReadsInjectedRecordsAsInjected) {

    InjectRequest request;
    request.buttons = 0x300;
    request.tilt = 0xFFFF;
    request.key = 113;
    request.battery = 7;
    request.code = 0x24;
    std::vector<uint8_t> event = BuildRecord(TARN_FILTER_HID_LOWER, request);
    EventRecord decoded = DecodeEventRecord(event.data(), event.size());
    EXPECT_EQ(decoded.buttonMask, 0x300u);
    EXPECT_EQ(decoded.tilt, 0xFFFFu);
    EXPECT_EQ(decoded.keyCode, 113);
    EXPECT_EQ(decoded.battery, 7u);
    std::vector<uint8_t> hid = BuildRecord(TARN_FILTER_VELL, request);
    EXPECT_EQ(DecodeHidEventRecord(hid.data(), hid.size()).code, 0x24u);

    uint8_t wait[kWaitRecordLength];
    WaitRecord record;
    record.eventHandle = 0x1234;
    record.enable = 1;
    EncodeWaitRecord(record, wait);
    EXPECT_EQ(std::vector<uint8_t>(wait, wait + sizeof(wait)), BuildWaitRecord(0x1234, 1));
}

} // namespace
} // namespace tarn::virt
