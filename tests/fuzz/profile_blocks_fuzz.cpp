// Profile and header blocks as the mouse or the registry cache hands them over: every
// button record decoded, the recorder's listing of stored events and strings, Select
// Profile's target, the resolution records, and the writers that edit the blocks.
//
// Input: shown profile (signed byte), 512-byte profile block, 512-byte header block, then
// operations of one selector byte and their arguments until the input ends.
#include "fuzz_input.h"

#include "model/button_assignment.h"
#include "model/key_tables.h"
#include "model/memory_image.h"
#include "ui/recorder.h"
#include "ui/select_profile.h"

#include <cstring>
#include <cwchar>

namespace {

// What the Settings dialog holds while it edits: the shown profile, its block, the header
// and the functions its lists show.
struct Editing {
    int32_t currentProfile = 0;
    ProfileBlock block;
    HeaderBlock header;
    int32_t buttonChoices[kButtonCount] = {};
    KeyRepeatMemory keys;

    void DecodeButtonFunctions() {
        for (int n = 0; n < kButtonCount; ++n)
            if (const auto function = FunctionOf(DecodeButton(block, n)))
                buttonChoices[n] = *function;
    }
};

bool SameBlockOutside(const uint8_t* before, const uint8_t* after, size_t from, size_t length) {
    return std::memcmp(before, after, from) == 0 &&
           std::memcmp(before + from + length, after + from + length,
                       kBlockLength - from - length) == 0;
}

bool ChangesOnlyButton(const ProfileBlock& after, const ProfileBlock& before, int button) {
    // Record n and event list n; everything else keeps its bytes.
    ProfileBlock expected = after;
    std::memcpy(expected.data() + 4 * size_t(button), before.data() + 4 * size_t(button), 4);
    const size_t list = kEventListOffset + kEventListLength * size_t(button);
    std::memcpy(expected.data() + list, before.data() + list, kEventListLength);
    return expected == before;
}

int16_t ScanFromTable(wchar_t c) {
    // VkKeyScanW stand-in: any 16-bit answer, -1 for characters above the table.
    return c < 0x100 ? static_cast<int16_t>((static_cast<uint32_t>(c) * 0x9E37u) >> 4)
                     : int16_t(-1);
}

// A detail dialog's button: its creation parameter, 0 for one outside 0..6.
int EditedButton(int parameter) {
    return IsButtonIndex(parameter) ? parameter : 0;
}

void Operate(FuzzInput& in, Editing& e) {
    const ProfileBlock before = e.block;
    const HeaderBlock headerBefore = e.header;

    switch (in.Byte() % 10) {
    case 0: { // decode: every choice stays one of the eleven functions
        e.DecodeButtonFunctions();
        for (int32_t choice : e.buttonChoices)
            FUZZ_CHECK(choice >= 0 && choice < kFunctionCount);
        FUZZ_CHECK(e.block == before);
        break;
    }
    case 1: { // the recorder lists a stored key or macro
        const int button = EditedButton(static_cast<int8_t>(in.Byte()));
        const auto function = ButtonFunction(FunctionSingleKey + in.Byte() % 3);
        const std::vector<KeyEvent> listed = ListedEvents(DecodeButton(e.block, button), function);
        FUZZ_CHECK(listed.size() <= size_t(kMaxEvents));
        for (const KeyEvent& event : listed) {
            FUZZ_CHECK(event.usage != 0);
            const std::wstring row =
                EventRow(NameOfUsage(event.usage), (event.flags & kEventPress) != 0, true);
            FUZZ_CHECK(row.size() < 256);
        }
        break;
    }
    case 2: { // the recorder shows a stored string, into a field of any size
        const int button = EditedButton(static_cast<int8_t>(in.Byte()));
        const size_t capacity = in.Byte();
        std::wstring text;
        StoredStringText(DecodeButton(e.block, button), &text, capacity);
        FUZZ_CHECK(capacity == 0 ? text.empty() : text.size() < capacity);
        break;
    }
    case 3: { // Select Profile opens on a stored target and stores the one chosen
        const int button = EditedButton(static_cast<int8_t>(in.Byte()));
        const int32_t initial =
            InitialTargetProfile(DecodeButton(e.block, button), e.currentProfile);
        FUZZ_CHECK(initial >= 0 && initial < kProfileCount);
        const int32_t selected = in.Bit() ? initial : static_cast<int8_t>(in.Byte());
        EncodeButton(e.block, e.currentProfile, button, ProfileSwitchTo(selected));
        FUZZ_CHECK(ChangesOnlyButton(e.block, before, button));
        const ButtonRecord record = e.block.Record(button);
        FUZZ_CHECK(record.kind == KindProfileSwitch && record.param < kProfileCount);
        break;
    }
    case 4: { // a list's choice is encoded; choices 0..6 decode back to themselves
        const int button = static_cast<int8_t>(in.Byte());
        const int32_t choice = static_cast<int8_t>(in.Byte());
        const std::optional<ButtonAssignment> assignment = ChoiceAssignment(choice);
        if (assignment)
            EncodeButton(e.block, e.currentProfile, button, *assignment);
        if (!IsButtonIndex(button) || choice < 0 || choice > FunctionDoubleClick) {
            FUZZ_CHECK(e.block == before);
            break;
        }
        FUZZ_CHECK(ChangesOnlyButton(e.block, before, button));
        e.buttonChoices[button] = -1;
        e.DecodeButtonFunctions();
        FUZZ_CHECK(e.buttonChoices[button] == choice);
        break;
    }
    case 5: { // the resolution trackbars write the low byte; the dialog reads it signed
        const int profile = static_cast<int8_t>(in.Byte());
        const ProfileSettings shown = e.header.Settings(profile);
        const int x = static_cast<int16_t>(in.U16());
        const int y = static_cast<int16_t>(in.U16());
        e.header.SetResolution(profile, x & 0xFF, y & 0xFF);
        if (!IsProfileIndex(profile)) {
            FUZZ_CHECK(shown.resolutionX == 0 && shown.resolutionY == 0);
            FUZZ_CHECK(e.header == headerBefore);
            break;
        }
        const ProfileSettings after = e.header.Settings(profile);
        FUZZ_CHECK(after.resolutionX == static_cast<int8_t>(x & 0xFF));
        FUZZ_CHECK(after.resolutionY == static_cast<int8_t>(y & 0xFF));
        FUZZ_CHECK(after.profileIndex == shown.profileIndex);
        FUZZ_CHECK(SameBlockOutside(headerBefore.data(), e.header.data(),
                                    kProfileSettingsOffset + 8 * size_t(profile) + 3, 2));
        break;
    }
    case 6: { // "Reset to Default" for any index
        const int profile = static_cast<int8_t>(in.Byte());
        e.header.SetDefaultSettings(profile);
        if (!IsProfileIndex(profile)) {
            FUZZ_CHECK(e.header == headerBefore);
            break;
        }
        e.block = DefaultProfile(profile);
        e.DecodeButtonFunctions();
        static const int32_t kDefaults[kButtonCount] = {1, 2, 3, 4, 5, 0, 0};
        FUZZ_CHECK(std::memcmp(e.buttonChoices, kDefaults, sizeof kDefaults) == 0);
        FUZZ_CHECK(SameBlockOutside(headerBefore.data(), e.header.data(),
                                    kProfileSettingsOffset + 8 * size_t(profile), 5));
        break;
    }
    case 7: { // a live recording of arbitrary hook calls, then stored
        const int button = EditedButton(static_cast<int8_t>(in.Byte()));
        KeyRecording recording(in.Bit() ? FunctionMacroKey : FunctionSingleKey, e.keys);
        recording.Begin();
        for (int n = in.Byte() % 40; n > 0; --n) {
            const uint8_t what = in.Byte();
            const KeyMessage message = what % 3 == 0   ? KeyMessage::Down
                                       : what % 3 == 1 ? KeyMessage::Up
                                                       : KeyMessage::Other;
            recording.Examine((what & 0x80) == 0, message, in.Byte(), in.Byte());
            FUZZ_CHECK(recording.recordedCount >= 0 &&
                       recording.recordedCount <= recording.recordLimit &&
                       recording.recordedCount <= kMaxEvents);
        }
        EncodeButton(e.block, e.currentProfile, button, recording.Result());
        FUZZ_CHECK(ChangesOnlyButton(e.block, before, button));
        FUZZ_CHECK(e.block.Record(button).eventBytes == 4 * recording.recordedCount);
        break;
    }
    case 8: { // a typed string of any length and characters
        const int button = EditedButton(static_cast<int8_t>(in.Byte()));
        std::wstring text = in.Text();
        EncodeButton(e.block, e.currentProfile, button,
                     ButtonAssignment::Text(StringEvents(text.c_str(), ScanFromTable)));
        FUZZ_CHECK(ChangesOnlyButton(e.block, before, button));
        FUZZ_CHECK(e.block.Record(button).eventBytes <= kEventListLength);
        break;
    }
    default: { // the block changes under the dialog: the mouse or the cache delivers anew
        const size_t at = in.U16() % kBlockLength;
        const std::vector<uint8_t> bytes = in.Blob();
        for (size_t i = 0; i < bytes.size(); ++i)
            ((at & 1) ? e.header.data() : e.block.data())[(at + i) % kBlockLength] = bytes[i];
        break;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    Editing editing;
    editing.currentProfile = static_cast<int8_t>(in.Byte());
    in.Bytes(editing.block.data(), kBlockLength);
    in.Bytes(editing.header.data(), kBlockLength);
    while (!in.Empty())
        Operate(in, editing);
    return 0;
}
