// Profile and header blocks as the mouse or the registry cache hands them over: every
// button record decoded, the recorder's listing of stored events and strings, Select
// Profile's target, the resolution records, and the writers that edit the blocks.
//
// Input: shown profile (signed byte), 512-byte profile block, 512-byte header block, then
// operations of one selector byte and their arguments until the input ends.
#include "fuzz_input.h"

#include "mouse/mouse_session.h"
#include "model/key_tables.h"
#include "model/memory_image.h"
#include "ui/recorder.h"
#include "ui/select_profile.h"

#include <cstring>
#include <cwchar>

namespace {

bool SameBlockOutside(const uint8_t* before, const uint8_t* after, size_t from, size_t length) {
    return std::memcmp(before, after, from) == 0 &&
           std::memcmp(before + from + length, after + from + length,
                       kBlockLength - from - length) == 0;
}

bool ChangesOnlyButton(const uint8_t* before, int button) {
    // Record n and event list n; everything else keeps its bytes.
    uint8_t expected[kBlockLength];
    std::memcpy(expected, profileBlock, kBlockLength);
    std::memcpy(expected + 4 * size_t(button), before + 4 * size_t(button), 4);
    const size_t list = kEventListOffset + kEventListLength * size_t(button);
    std::memcpy(expected + list, before + list, kEventListLength);
    return std::memcmp(expected, before, kBlockLength) == 0;
}

int16_t ScanFromTable(wchar_t c) {
    // VkKeyScanW stand-in: any 16-bit answer, -1 for characters above the table.
    return c < 0x100 ? static_cast<int16_t>((static_cast<uint32_t>(c) * 0x9E37u) >> 4)
                     : int16_t(-1);
}

void ListStoredEvents() {
    const int count = LoadStoredEvents();
    FUZZ_CHECK(count >= 0 && count <= kMaxEvents);
    for (int i = 0; i < count; ++i) {
        const KeyEvent event = ReadKeyEvent(workEvents, i);
        FUZZ_CHECK(event.usage != 0);
        wchar_t row[256];
        FormatEventRow(row, 256, NameOfUsage(event.usage), (event.flags & kEventPress) != 0, true);
        FUZZ_CHECK(std::wcslen(row) < 256);
    }
}

void Operate(FuzzInput& in) {
    uint8_t before[kBlockLength];
    std::memcpy(before, profileBlock, kBlockLength);
    uint8_t headerBefore[kBlockLength];
    std::memcpy(headerBefore, headerBlock, kBlockLength);

    switch (in.Byte() % 10) {
    case 0: { // decode: every choice stays one of the eleven functions
        DecodeButtonFunctions();
        for (int32_t choice : buttonChoices)
            FUZZ_CHECK(choice >= 0 && choice < kFunctionCount);
        FUZZ_CHECK(std::memcmp(before, profileBlock, kBlockLength) == 0);
        break;
    }
    case 1: { // the recorder lists a stored key or macro
        editedButton = static_cast<int8_t>(in.Byte());
        editedFunction = FunctionSingleKey + in.Byte() % 3;
        ListStoredEvents();
        FUZZ_CHECK(std::memcmp(before, profileBlock, kBlockLength) == 0);
        break;
    }
    case 2: { // the recorder shows a stored string, into a field of any size
        editedButton = static_cast<int8_t>(in.Byte());
        const size_t capacity = in.Byte();
        std::vector<wchar_t> text(capacity ? capacity : 1);
        StoredStringText(capacity ? text.data() : nullptr, capacity);
        if (capacity)
            FUZZ_CHECK(std::wcslen(text.data()) < capacity);
        FUZZ_CHECK(std::memcmp(before, profileBlock, kBlockLength) == 0);
        break;
    }
    case 3: { // Select Profile opens on a stored target and stores the one chosen
        editedButton = static_cast<int8_t>(in.Byte());
        const int32_t initial = InitialTargetProfile();
        FUZZ_CHECK(initial >= 0 && initial < kProfileCount);
        FUZZ_CHECK(std::memcmp(before, profileBlock, kBlockLength) == 0);
        selectedProfile = in.Bit() ? initial : static_cast<int8_t>(in.Byte());
        StoreProfileSwitch();
        const int button = editedButton >= 0 && editedButton < kButtonCount ? editedButton : 0;
        FUZZ_CHECK(ChangesOnlyButton(before, button));
        const ButtonRecord record = ReadButtonRecord(profileBlock, button);
        FUZZ_CHECK(record.kind == KindProfileSwitch && record.param < kProfileCount);
        break;
    }
    case 4: { // a combo-box choice is encoded; choices 0..6 decode back to themselves
        const int button = static_cast<int8_t>(in.Byte());
        const int32_t choice = static_cast<int8_t>(in.Byte());
        // The dialog stores only the eleven functions; encoding sees whatever is stored.
        int32_t kept = 0;
        if (button >= 0 && button < kButtonCount) {
            kept = buttonChoices[button];
            buttonChoices[button] = choice;
        }
        EncodeButtonFunction(button);
        if (button >= 0 && button < kButtonCount && (choice < 0 || choice >= kFunctionCount))
            buttonChoices[button] = kept;
        if (button < 0 || button >= kButtonCount || choice < 0 || choice > FunctionDoubleClick) {
            FUZZ_CHECK(std::memcmp(before, profileBlock, kBlockLength) == 0);
            break;
        }
        FUZZ_CHECK(ChangesOnlyButton(before, button));
        buttonChoices[button] = -1;
        DecodeButtonFunctions();
        FUZZ_CHECK(buttonChoices[button] == choice);
        break;
    }
    case 5: { // the resolution trackbars write the low byte; the dialog reads it signed
        const int profile = static_cast<int8_t>(in.Byte());
        const ProfileSettings shown = ReadProfileSettings(headerBlock, profile);
        const int x = static_cast<int16_t>(in.U16());
        const int y = static_cast<int16_t>(in.U16());
        WriteResolution(headerBlock, profile, x & 0xFF, y & 0xFF);
        if (profile < 0 || profile >= kProfileCount) {
            FUZZ_CHECK(shown.resolutionX == 0 && shown.resolutionY == 0);
            FUZZ_CHECK(std::memcmp(headerBefore, headerBlock, kBlockLength) == 0);
            break;
        }
        const ProfileSettings after = ReadProfileSettings(headerBlock, profile);
        FUZZ_CHECK(after.resolutionX == static_cast<int8_t>(x & 0xFF));
        FUZZ_CHECK(after.resolutionY == static_cast<int8_t>(y & 0xFF));
        FUZZ_CHECK(after.profileIndex == shown.profileIndex);
        FUZZ_CHECK(SameBlockOutside(headerBefore, headerBlock,
                                    kProfileSettingsOffset + 8 * size_t(profile) + 3, 2));
        break;
    }
    case 6: { // "Reset to Default" for any index
        const int profile = static_cast<int8_t>(in.Byte());
        WriteDefaultProfile(profile, profileBlock);
        WriteDefaultProfileSettings(profile, headerBlock);
        if (profile < 0 || profile >= kProfileCount) {
            FUZZ_CHECK(std::memcmp(before, profileBlock, kBlockLength) == 0);
            FUZZ_CHECK(std::memcmp(headerBefore, headerBlock, kBlockLength) == 0);
            break;
        }
        DecodeButtonFunctions();
        static const int32_t kDefaults[kButtonCount] = {1, 2, 3, 4, 5, 0, 0};
        FUZZ_CHECK(std::memcmp(buttonChoices, kDefaults, sizeof kDefaults) == 0);
        FUZZ_CHECK(SameBlockOutside(headerBefore, headerBlock,
                                    kProfileSettingsOffset + 8 * size_t(profile), 5));
        break;
    }
    case 7: { // a live recording of arbitrary hook calls, then stored
        editedButton = static_cast<int8_t>(in.Byte());
        editedFunction = in.Bit() ? FunctionMacroKey : FunctionSingleKey;
        BeginRecording();
        for (int n = in.Byte() % 40; n > 0; --n) {
            const uint8_t what = in.Byte();
            const KeyMessage message = what % 3 == 0   ? KeyMessage::Down
                                       : what % 3 == 1 ? KeyMessage::Up
                                                       : KeyMessage::Other;
            ExamineKeyEvent((what & 0x80) == 0, message, in.Byte(), in.Byte());
            FUZZ_CHECK(recordedCount >= 0 && recordedCount <= recordLimit &&
                       recordedCount <= kMaxEvents);
        }
        StoreRecording();
        const int button = editedButton >= 0 && editedButton < kButtonCount ? editedButton : 0;
        FUZZ_CHECK(ChangesOnlyButton(before, button));
        FUZZ_CHECK(ReadButtonRecord(profileBlock, button).eventBytes == 4 * recordedCount);
        break;
    }
    case 8: { // a typed string of any length and characters
        editedButton = static_cast<int8_t>(in.Byte());
        std::wstring text = in.Text();
        StoreString(text.c_str(), ScanFromTable);
        const int button = editedButton >= 0 && editedButton < kButtonCount ? editedButton : 0;
        FUZZ_CHECK(ChangesOnlyButton(before, button));
        FUZZ_CHECK(ReadButtonRecord(profileBlock, button).eventBytes <= kEventListLength);
        break;
    }
    default: { // the block changes under the dialog: the mouse or the cache delivers anew
        const size_t at = in.U16() % kBlockLength;
        const std::vector<uint8_t> bytes = in.Blob();
        for (size_t i = 0; i < bytes.size(); ++i)
            ((at & 1) ? headerBlock : profileBlock)[(at + i) % kBlockLength] = bytes[i];
        break;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    currentProfile = static_cast<int8_t>(in.Byte());
    in.Bytes(profileBlock, kBlockLength);
    in.Bytes(headerBlock, kBlockLength);
    for (int32_t& choice : buttonChoices)
        choice = FunctionButtonOff;
    editedButton = editedFunction = recordedCount = recordLimit = 0;
    lastKeyCode = lastKeyUp = 0;
    while (!in.Empty())
        Operate(in);
    return 0;
}
