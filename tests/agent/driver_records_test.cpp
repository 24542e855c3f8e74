// Byte layouts of the filter-driver records and the record hand-off ring.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "driver_link.h"

TEST(DriverRecords, SettingsRecordIsLittleEndianAtFixedOffsets) {
    uint8_t bytes[kSettingsRecordLength];
    EncodeSettingsRecord(SettingsRecordOf(0x05103081, 0x00019595, 0x00000303), bytes);
    const uint8_t expected[kSettingsRecordLength] = {0,    0,    0,    0,    0x81, 0x30, 0x10, 0x05,
                                                     0x95, 0x95, 0x01, 0x00, 0x03, 0x03, 0,    0,
                                                     0,    0,    0,    0,    0,    0,    0,    0};
    EXPECT_EQ(0, memcmp(expected, bytes, sizeof(bytes)));
    const SettingsRecord back = DecodeSettingsRecord(bytes, sizeof(bytes));
    EXPECT_EQ(0x05103081u, back.buttonA);
    EXPECT_EQ(0x00019595u, back.buttonB);
    EXPECT_EQ(0x303u, back.scrolling);
}

TEST(DriverRecords, WaitRecordCarriesAFullSixtyFourBitHandle) {
    WaitRecord wait;
    wait.eventHandle = 0x1122334455667788ull;
    wait.enable = 1;
    uint8_t bytes[kWaitRecordLength];
    EncodeWaitRecord(wait, bytes);
    const uint8_t expected[kWaitRecordLength] = {0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11,
                                                 1,    0,    0,    0,    0,    0,    0,    0};
    EXPECT_EQ(0, memcmp(expected, bytes, sizeof(bytes)));
    const WaitRecord back = DecodeWaitRecord(bytes, sizeof(bytes));
    EXPECT_EQ(wait.eventHandle, back.eventHandle);
    EXPECT_EQ(1u, back.enable);
}

TEST(DriverRecords, EventRecordFieldsSitWhereTheDriversWriteThem) {
    uint8_t bytes[kEventRecordLength] = {};
    bytes[4] = 0x05;  // buttons 1 and 3
    bytes[5] = 0x02;  // button 10
    bytes[20] = 0x01; // tilt right ...
    bytes[21] = 0xFF; // ... as a single step
    bytes[24] = 0x71; // key code 113
    bytes[28] = 0x01; // battery low
    const EventRecord record = DecodeEventRecord(bytes, sizeof(bytes));
    EXPECT_EQ(0x205u, record.buttonMask);
    EXPECT_EQ(0xFF01u, record.tilt);
    EXPECT_EQ(113, record.keyCode);
    EXPECT_EQ(1u, record.battery);
    uint8_t again[kEventRecordLength];
    EncodeEventRecord(record, again);
    EXPECT_EQ(0, memcmp(bytes, again, sizeof(bytes)));
}

TEST(DriverRecords, NegativeKeyCodeAndAllOnesSurviveTheRoundTrip) {
    uint8_t bytes[kEventRecordLength];
    memset(bytes, 0xFF, sizeof(bytes));
    const EventRecord record = DecodeEventRecord(bytes, sizeof(bytes));
    EXPECT_EQ(-1, record.keyCode);
    EXPECT_EQ(0xFFFFFFFFu, record.buttonMask);
    uint8_t again[kEventRecordLength];
    EncodeEventRecord(record, again);
    EXPECT_EQ(0, memcmp(bytes, again, sizeof(bytes)));
}

TEST(DriverRecords, HidEventCodeIsTheLastWord) {
    uint8_t bytes[kHidEventRecordLength] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0x24, 0, 0, 0};
    const HidEventRecord record = DecodeHidEventRecord(bytes, sizeof(bytes));
    EXPECT_EQ(0x24u, record.code);
    uint8_t again[kHidEventRecordLength];
    EncodeHidEventRecord(record, again);
    EXPECT_EQ(0, memcmp(bytes, again, sizeof(bytes)));
}

TEST(DriverRecords, ShortOrMissingInputDecodesAsZerosWithoutOverRead) {
    // Exactly-sized heap copies so the sanitizer catches any read past the given length.
    std::vector<uint8_t> shortEvent(6, 0xAB);
    const EventRecord event = DecodeEventRecord(shortEvent.data(), shortEvent.size());
    EXPECT_EQ(0xABABu, event.buttonMask);
    EXPECT_EQ(0u, event.tilt);
    EXPECT_EQ(0, event.keyCode);
    const HidEventRecord hid = DecodeHidEventRecord(nullptr, 16);
    EXPECT_EQ(0u, hid.code);
    std::vector<uint8_t> shortWait(9, 0x01);
    const WaitRecord wait = DecodeWaitRecord(shortWait.data(), shortWait.size());
    EXPECT_EQ(0x0101010101010101ull, wait.eventHandle);
    EXPECT_EQ(1u, wait.enable);
}

TEST(DriverRecords, DeviceTableOrderNamesAndCodes) {
    EXPECT_STREQ(L"\\\\.\\TarnHidLowerFilter", kFilterDevices[0].name);
    EXPECT_STREQ(L"\\\\.\\TarnPS2UpperFilter", kFilterDevices[1].name);
    EXPECT_STREQ(L"\\\\.\\VellHIDupFilter", kFilterDevices[2].name);
    EXPECT_TRUE(kFilterDevices[0].sendsSettings && kFilterDevices[1].sendsSettings);
    EXPECT_FALSE(kFilterDevices[2].sendsSettings);
    EXPECT_EQ(0x00225DC0u, kFilterDevices[2].fetchCode);
    EXPECT_EQ(16u, kFilterDevices[2].recordLength);
    EXPECT_EQ(3028u, kFilterDevices[2].message);
    EXPECT_EQ(3026u, kFilterDevices[1].message);
}

TEST(RecordRing, TakesInOrderRejectsStaleAndForgedNumbers) {
    RecordRing ring;
    uint8_t record[kEventRecordLength] = {};
    uint32_t first = 99, second = 99;
    record[0] = 1;
    ASSERT_TRUE(ring.Push(record, sizeof(record), &first));
    record[0] = 2;
    ASSERT_TRUE(ring.Push(record, sizeof(record), &second));
    EXPECT_EQ(0u, first);
    EXPECT_EQ(1u, second);
    uint8_t out[RecordRing::kSlotLength];
    EXPECT_FALSE(ring.Take(7, out)); // never pushed
    ASSERT_TRUE(ring.Take(first, out));
    EXPECT_EQ(1, out[0]);
    EXPECT_FALSE(ring.Take(first, out)); // taken already
    ASSERT_TRUE(ring.Take(second, out));
    EXPECT_EQ(2, out[0]);
    EXPECT_EQ(0u, ring.Pending());
}

TEST(RecordRing, FullRingRefusesInsteadOfOverwriting) {
    RecordRing ring;
    uint8_t record[kEventRecordLength] = {};
    uint32_t seq = 0;
    for (uint32_t i = 0; i < RecordRing::kCapacity; ++i) {
        record[0] = static_cast<uint8_t>(i);
        ASSERT_TRUE(ring.Push(record, sizeof(record), &seq));
    }
    EXPECT_FALSE(ring.Push(record, sizeof(record), &seq));
    uint8_t out[RecordRing::kSlotLength];
    ASSERT_TRUE(ring.Take(0, out));
    EXPECT_EQ(0, out[0]); // the oldest record is intact
    EXPECT_TRUE(ring.Push(record, sizeof(record), &seq));
    EXPECT_EQ(RecordRing::kCapacity, seq);
}

TEST(RecordRing, SkippedMessageReleasesOlderSlots) {
    RecordRing ring;
    uint8_t record[kHidEventRecordLength] = {};
    uint32_t seq = 0;
    for (int i = 0; i < 3; ++i) {
        record[12] = static_cast<uint8_t>(0x24 + i);
        ASSERT_TRUE(ring.Push(record, sizeof(record), &seq));
    }
    uint8_t out[RecordRing::kSlotLength];
    ASSERT_TRUE(ring.Take(2, out)); // the first two messages were lost
    EXPECT_EQ(0x26, out[12]);
    EXPECT_EQ(0, out[16]); // a short record is padded with zeros, not with older bytes
    EXPECT_FALSE(ring.Take(0, out));
    EXPECT_EQ(0u, ring.Pending());
}

TEST(RecordRing, ConcurrentProducerDeliversEveryRecordIntact) {
    RecordRing ring;
    constexpr uint32_t kCount = 20000;
    std::thread producer([&] {
        uint8_t record[kEventRecordLength];
        for (uint32_t i = 0; i < kCount; ++i) {
            for (size_t b = 0; b < sizeof(record); b += 4) {
                record[b] = static_cast<uint8_t>(i);
                record[b + 1] = static_cast<uint8_t>(i >> 8);
                record[b + 2] = static_cast<uint8_t>(i >> 16);
                record[b + 3] = static_cast<uint8_t>(b);
            }
            uint32_t seq = 0;
            while (!ring.Push(record, sizeof(record), &seq)) {
                std::this_thread::yield();
            }
        }
    });
    uint32_t next = 0;
    uint8_t out[RecordRing::kSlotLength];
    while (next < kCount) {
        if (!ring.Take(next, out)) {
            std::this_thread::yield();
            continue;
        }
        for (size_t b = 0; b < sizeof(out); b += 4) {
            const uint32_t value =
                static_cast<uint32_t>(out[b] | out[b + 1] << 8 | out[b + 2] << 16);
            ASSERT_EQ(next, value) << "torn record at byte " << b;
            ASSERT_EQ(b, out[b + 3]);
        }
        ++next;
    }
    producer.join();
}
