// The agent's side of the filter drivers: event and HID event records of any length in any
// order, handed from a reader through the record ring to the event state machine, and what
// the window procedure then derives from each step; also the settings decoders (the driver
// settings record, 32-bit registry values, button command strings).
//
// Checked: the ring hands out each record once, in order, as pushed, and refuses stale or
// future numbers; a button action runs only on the release that ends a press, with the last
// mask held; the tilt repeat starts only while stopped and stops only while running; every
// decoder reads only the bytes it is given.
//
// Input: operations of one selector byte and their arguments until the input ends.
#include "fuzz_input.h"

#include "actions.h"
#include "agent_events.h"
#include "agent_settings.h"
#include "driver_link.h"
#include "scroll_engine.h"

#include <cstring>
#include <cwchar>
#include <deque>
#include <memory>
#include <vector>

namespace {

struct Pushed {
    uint32_t seq;
    uint8_t bytes[RecordRing::kSlotLength];
};

// What the window procedure does with one driver event, minus the desktop.
void Handle(AgentEventState& state, const EventRecord& record) {
    const AgentEventState before = state;
    const DriverEventSteps steps = StepDriverEvent(state, record);

    FUZZ_CHECK(steps.sendChord ==
               (record.keyCode == kChordKeyCode && before.lastEventKeyCode != kChordKeyCode));
    if (steps.runButtons) {
        FUZZ_CHECK(record.buttonMask == 0 && before.pendingMask != 0);
        FUZZ_CHECK(steps.buttonMask == before.lastMask && steps.buttonMask != 0);
        int buttons[10];
        const size_t count = ButtonsOfMask(steps.buttonMask, buttons);
        FUZZ_CHECK(count <= 10);
        for (size_t i = 0; i < count; ++i) {
            FUZZ_CHECK(buttons[i] >= 1 && buttons[i] <= 10);
            FUZZ_CHECK(i == 0 || buttons[i] > buttons[i - 1]);
            const KeySequence keys = KeysOfAction(ActionCodeOf(agentSettings, buttons[i]));
            FUZZ_CHECK(keys.count <= kMaxKeyStrokes);
        }
    }
    if (steps.startRepeat)
        FUZZ_CHECK(before.repeatTimerActive == 0 && steps.scrollOnce);
    if (steps.stopRepeat)
        FUZZ_CHECK(before.repeatTimerActive != 0 && state.repeatTimerActive == 0);
    if (steps.storeTilt) {
        FUZZ_CHECK(steps.tiltValue >= 0 && steps.tiltValue <= 0xFF);
        const ScrollDirection direction = DirectionOfTilt(steps.tiltValue);
        FUZZ_CHECK(HScrollRequestOf(direction) <= 1);
    }
    FUZZ_CHECK(state.batteryBlinking == (record.battery != 0 ? 1u : 0u));
}

void CheckDecoders(FuzzInput& in) {
    // Each decoder gets a heap copy of exactly the bytes it is told about.
    const std::vector<uint8_t> blob = in.Blob(in.Byte() % 40);
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[blob.size() + 1]);
    if (!blob.empty())
        std::memcpy(bytes.get(), blob.data(), blob.size());
    const uint8_t* p = bytes.get();
    const size_t n = blob.size();
    FUZZ_CHECK(DecodeEventRecord(nullptr, n).buttonMask == 0); // no bytes at all reads as zeros

    const SettingsRecord settings = DecodeSettingsRecord(p, n);
    uint8_t encoded[kSettingsRecordLength];
    EncodeSettingsRecord(settings, encoded);
    for (size_t i = 0; i < kSettingsRecordLength; ++i)
        FUZZ_CHECK(encoded[i] == (i < n ? p[i] : 0));
    const WaitRecord wait = DecodeWaitRecord(p, n);
    uint8_t waitBytes[kWaitRecordLength];
    EncodeWaitRecord(wait, waitBytes);
    for (size_t i = 0; i < kWaitRecordLength; ++i)
        FUZZ_CHECK(waitBytes[i] == (i < n ? p[i] : 0));

    uint32_t field = 0xA5A5A5A5;
    const bool taken = DwordSettingFromValue(p, static_cast<uint32_t>(n), &field);
    FUZZ_CHECK(taken == (n >= 1 && n <= 4));
    if (!taken)
        FUZZ_CHECK(field == 0xA5A5A5A5);
    FUZZ_CHECK(WheelLinesOf(field) <= 15 || WheelLinesOf(field) == kWheelPageScroll);

    // A button's command string, as read from its registry value, into a field of any size.
    const uint32_t type = in.Byte() % 5;
    const size_t capacity = in.Byte() % 140;
    std::unique_ptr<wchar_t[]> out(new wchar_t[capacity ? capacity : 1]);
    if (DecodeRegistryString(type, n ? p : nullptr, n, capacity ? out.get() : nullptr, capacity)) {
        const size_t length = std::wcslen(out.get());
        FUZZ_CHECK(length > 0 && length < capacity && 2 * length <= n);
    }
    wchar_t keyName[64];
    const int button = static_cast<int32_t>(in.U32());
    if (FormatButtonKeyName(button, keyName, in.Byte() % 64 + 1))
        FUZZ_CHECK(std::wcslen(keyName) < 64);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const auto ring = std::make_unique<RecordRing>();
    AgentEventState state;
    agentSettings = AgentSettings{};
    agentSettings.buttonA = in.U32();
    agentSettings.buttonB = in.U32();
    agentSettings.scrolling = in.U32();
    std::deque<Pushed> held; // pushed, not yet taken, oldest first

    while (!in.Empty()) {
        const uint8_t selector = in.Byte();
        switch (selector % 4) {
        case 0: { // a reader fetches a record of any length and pushes it
            const std::vector<uint8_t> record = in.Blob(in.Byte() % 48);
            Pushed pushed{};
            const bool full = ring->Pending() >= RecordRing::kCapacity;
            const bool ok = ring->Push(record.data(), record.size(), &pushed.seq);
            FUZZ_CHECK(ok == !full);
            if (ok) {
                for (size_t i = 0; i < record.size() && i < sizeof pushed.bytes; ++i)
                    pushed.bytes[i] = record[i];
                held.push_back(pushed);
            }
            break;
        }
        case 1: { // the window thread takes a number: the next one, a later one, or garbage
            uint32_t seq = in.U32();
            if (!held.empty() && (selector & 0x10))
                seq = held[in.Byte() % held.size()].seq;
            uint8_t out[RecordRing::kSlotLength];
            const bool ok = ring->Take(seq, out);
            size_t at = 0;
            while (at < held.size() && held[at].seq != seq)
                ++at;
            FUZZ_CHECK(ok == (at < held.size()));
            if (!ok)
                break;
            FUZZ_CHECK(std::memcmp(out, held[at].bytes, sizeof out) == 0);
            held.erase(held.begin(), held.begin() + static_cast<long>(at) + 1);
            FUZZ_CHECK(ring->Pending() == held.size());
            // Which device the message came from decides the record's kind.
            if (selector & 0x20) {
                const HidEventRecord hid = DecodeHidEventRecord(out, kHidEventRecordLength);
                const uint32_t mask = HidEventButtonMask(hid);
                FUZZ_CHECK(mask == 0 || mask == (1u << 3) || mask == (1u << 4));
            } else {
                Handle(state, DecodeEventRecord(out, kEventRecordLength));
            }
            break;
        }
        case 2: { // an event record straight from a short or long fetch
            const std::vector<uint8_t> record = in.Blob(in.Byte() % 48);
            Handle(state,
                   DecodeEventRecord(record.empty() ? nullptr : record.data(), record.size()));
            break;
        }
        default:
            CheckDecoders(in);
            break;
        }
    }
    return 0;
}
