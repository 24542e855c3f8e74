#include "driver_link.h"

#include <cstring>

namespace {

void Put32(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
    at[2] = static_cast<uint8_t>(value >> 16);
    at[3] = static_cast<uint8_t>(value >> 24);
}

void Put64(uint8_t* at, uint64_t value) {
    Put32(at, static_cast<uint32_t>(value));
    Put32(at + 4, static_cast<uint32_t>(value >> 32));
}

// Reads from a record that may be shorter than its layout: absent bytes are zero.
class Reader {
  public:
    Reader(const uint8_t* bytes, size_t length) : bytes_(bytes), length_(bytes ? length : 0) {}
    uint8_t Byte(size_t offset) const { return offset < length_ ? bytes_[offset] : 0; }
    uint32_t U32(size_t offset) const {
        return static_cast<uint32_t>(Byte(offset)) | static_cast<uint32_t>(Byte(offset + 1)) << 8 |
               static_cast<uint32_t>(Byte(offset + 2)) << 16 |
               static_cast<uint32_t>(Byte(offset + 3)) << 24;
    }
    uint64_t U64(size_t offset) const {
        return static_cast<uint64_t>(U32(offset)) | static_cast<uint64_t>(U32(offset + 4)) << 32;
    }

  private:
    const uint8_t* bytes_;
    size_t length_;
};

} // namespace

void EncodeSettingsRecord(const SettingsRecord& record, uint8_t (&out)[kSettingsRecordLength]) {
    Put32(out + 0, record.reserved0);
    Put32(out + 4, record.buttonA);
    Put32(out + 8, record.buttonB);
    Put32(out + 12, record.scrolling);
    Put32(out + 16, record.reserved1);
    Put32(out + 20, record.reserved2);
}

SettingsRecord DecodeSettingsRecord(const uint8_t* bytes, size_t length) {
    const Reader in(bytes, length);
    SettingsRecord record;
    record.reserved0 = in.U32(0);
    record.buttonA = in.U32(4);
    record.buttonB = in.U32(8);
    record.scrolling = in.U32(12);
    record.reserved1 = in.U32(16);
    record.reserved2 = in.U32(20);
    return record;
}

void EncodeWaitRecord(const WaitRecord& record, uint8_t (&out)[kWaitRecordLength]) {
    Put64(out + 0, record.eventHandle);
    Put32(out + 8, record.enable);
    Put32(out + 12, record.reserved);
}

WaitRecord DecodeWaitRecord(const uint8_t* bytes, size_t length) {
    const Reader in(bytes, length);
    WaitRecord record;
    record.eventHandle = in.U64(0);
    record.enable = in.U32(8);
    record.reserved = in.U32(12);
    return record;
}

void EncodeEventRecord(const EventRecord& record, uint8_t (&out)[kEventRecordLength]) {
    Put32(out + 0, record.field0);
    Put32(out + 4, record.buttonMask);
    Put32(out + 8, record.field8);
    Put32(out + 12, record.field12);
    Put32(out + 16, record.field16);
    Put32(out + 20, record.tilt);
    Put32(out + 24, static_cast<uint32_t>(record.keyCode));
    Put32(out + 28, record.battery);
}

EventRecord DecodeEventRecord(const uint8_t* bytes, size_t length) {
    const Reader in(bytes, length);
    EventRecord record;
    record.field0 = in.U32(0);
    record.buttonMask = in.U32(4);
    record.field8 = in.U32(8);
    record.field12 = in.U32(12);
    record.field16 = in.U32(16);
    record.tilt = in.U32(20);
    record.keyCode = static_cast<int32_t>(in.U32(24));
    record.battery = in.U32(28);
    return record;
}

void EncodeHidEventRecord(const HidEventRecord& record, uint8_t (&out)[kHidEventRecordLength]) {
    std::memcpy(out, record.head, sizeof(record.head));
    Put32(out + 12, record.code);
}

HidEventRecord DecodeHidEventRecord(const uint8_t* bytes, size_t length) {
    const Reader in(bytes, length);
    HidEventRecord record;
    for (size_t i = 0; i < sizeof(record.head); ++i) {
        record.head[i] = in.Byte(i);
    }
    record.code = in.U32(12);
    return record;
}

SettingsRecord SettingsRecordOf(uint32_t buttonA, uint32_t buttonB, uint32_t scrolling) {
    SettingsRecord record;
    record.buttonA = buttonA;
    record.buttonB = buttonB;
    record.scrolling = scrolling;
    return record;
}

bool RecordRing::Push(const uint8_t* record, size_t length, uint32_t* seq) {
    const uint32_t head = head_.load(std::memory_order_relaxed);
    const uint32_t tail = tail_.load(std::memory_order_acquire);
    if (head - tail >= kCapacity) {
        return false;
    }
    uint8_t* slot = slots_[head % kCapacity];
    const size_t copied = length < kSlotLength ? length : kSlotLength;
    if (record && copied) {
        std::memcpy(slot, record, copied);
    }
    std::memset(slot + copied, 0, kSlotLength - copied);
    head_.store(head + 1, std::memory_order_release);
    if (seq) {
        *seq = head;
    }
    return true;
}

bool RecordRing::Take(uint32_t seq, uint8_t (&out)[kSlotLength]) {
    const uint32_t tail = tail_.load(std::memory_order_relaxed);
    const uint32_t head = head_.load(std::memory_order_acquire);
    if (seq - tail >= head - tail) {
        return false;
    }
    std::memcpy(out, slots_[seq % kCapacity], kSlotLength);
    tail_.store(seq + 1, std::memory_order_release);
    return true;
}

uint32_t RecordRing::Pending() const {
    return head_.load(std::memory_order_acquire) - tail_.load(std::memory_order_acquire);
}
