// The display-text rules both tray programs apply to outside text: "language" registry
// values of every type and size, the "Exit" pattern and "AppName" of the agent's menu item,
// texts cut to their fields, module paths of any length and "FontSize".
//
// Checked: a language code comes only from a terminated string value that fits the byte
// limit and holds exactly its units; every text fits its field and is never cut inside a
// surrogate pair; the exit item substitutes at most once and fits the menu field; the module
// path is read whole or not at all; the font size stays a point size a dialog can use.
//
// Input: operations of one selector byte and their arguments until the input ends.
#include "fuzz_input.h"

#include "text_rules.h"

#include <cstring>
#include <memory>

namespace {

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;

bool IsHighSurrogate(wchar_t c) {
    return static_cast<uint32_t>(c) >= 0xD800 && static_cast<uint32_t>(c) <= 0xDBFF;
}
bool IsLowSurrogate(wchar_t c) {
    return static_cast<uint32_t>(c) >= 0xDC00 && static_cast<uint32_t>(c) <= 0xDFFF;
}

std::wstring BeforeTerminator(const std::wstring& text) {
    return text.substr(0, text.find(L'\0'));
}

void CheckCut(const std::wstring& text, size_t field) {
    const std::wstring cut = CutToField(text, field);
    if (field == 0) {
        FUZZ_CHECK(cut.empty());
        return;
    }
    const std::wstring whole = BeforeTerminator(text);
    FUZZ_CHECK(cut.size() < field && whole.compare(0, cut.size(), cut) == 0);
    if (cut.size() < whole.size()) {
        // Cut: as long as the field allows, less the high half of a pair it would split.
        FUZZ_CHECK(cut.size() + 1 == field ||
                   (cut.size() + 2 == field && IsHighSurrogate(whole[cut.size()])));
        FUZZ_CHECK(cut.empty() ||
                   !(IsHighSurrogate(cut.back()) && IsLowSurrogate(whole[cut.size()])));
    }
}

void LanguageValue(FuzzInput& in) {
    // Mostly the string types, any other type now and then; sizes past the byte limit too.
    const uint8_t kind = in.Byte();
    const uint32_t type = kind < 0xC0 ? (kind & 1 ? kRegSz : kRegExpandSz) : in.U32();
    const std::vector<uint8_t> value = in.Blob(in.U16() % 300);
    // The registry hands over exactly `size` bytes.
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[value.size() + 1]);
    if (!value.empty())
        std::memcpy(bytes.get(), value.data(), value.size());
    const uint8_t* data = value.empty() && (kind & 2) ? nullptr : bytes.get();
    const auto code = LanguageCodeFromValue(type, data, value.size());
    if (!code)
        return;
    FUZZ_CHECK(type == kRegSz || type == kRegExpandSz);
    FUZZ_CHECK(value.size() <= kLanguageValueByteLimit);
    FUZZ_CHECK(code->size() <= kLanguageCodeMaxCount);
    // Stored with or without its terminator: the text ends at the first zero or the data's end.
    FUZZ_CHECK(2 * code->size() <= value.size());
    for (size_t i = 0; i < code->size(); ++i) {
        FUZZ_CHECK((*code)[i] != L'\0');
        FUZZ_CHECK(static_cast<uint32_t>((*code)[i]) ==
                   static_cast<uint32_t>(value[2 * i] | (value[2 * i + 1] << 8)));
    }
    const size_t end = 2 * code->size();
    FUZZ_CHECK(end + 1 >= value.size() || (value[end] == 0 && value[end + 1] == 0));
    // Both programs build their language file path from it.
    const AgentTextPaths paths = BuildAgentTextPaths(L"C:\\Program Files\\Orvane\\a.exe", *code);
    FUZZ_CHECK(paths.languageFile.size() ==
               paths.directory.size() + 9 + code->size() + 4); // "Language\" ".txt"
}

void ExitItem(FuzzInput& in) {
    const std::wstring pattern = CutToField(in.Text(), kTextBufferCount);
    const std::wstring appName = CutToField(in.Text(), kTextBufferCount);
    const std::wstring item = FormatExitItem(pattern, appName);
    FUZZ_CHECK(item.size() < kExitItemFieldCount);
    FUZZ_CHECK(item.size() <= pattern.size() + appName.size());
    if (pattern.find(L"%s") == std::wstring::npos)
        FUZZ_CHECK(item == CutToField(pattern, kExitItemFieldCount));
    CheckCut(TextOrDefault(appName, kDefaultAppName), kExitItemFieldCount);
}

void ModulePath(FuzzInput& in) {
    // GetModuleFileNameW for a name of `length` characters: a cut copy and the full buffer
    // size when it does not fit; 0 on failure.
    // Mostly ordinary lengths; now and then one past what the buffer can ever grow to.
    const uint16_t drawn = in.U16();
    const uint32_t length = (drawn & 0xF000) == 0xF000 ? drawn % 0x600u * 32u : drawn % 600u;
    const bool fails = in.Byte() == 0xFF;
    const wchar_t fill = static_cast<wchar_t>(in.U16());
    uint32_t calls = 0;
    const auto path = ReadModulePath([&](wchar_t* buffer, uint32_t size) -> uint32_t {
        ++calls;
        FUZZ_CHECK(size > 0 && calls < 20);
        if (fails)
            return 0;
        const uint32_t copied = length < size ? length : size - 1;
        for (uint32_t i = 0; i < copied; ++i)
            buffer[i] = (i % 7 == 3) ? L'\\' : fill;
        buffer[copied] = L'\0';
        return length < size ? length : size;
    });
    if (fails || length == 0) {
        FUZZ_CHECK(!path);
        return;
    }
    FUZZ_CHECK(path.has_value() == (length < 32768));
    if (!path)
        return;
    FUZZ_CHECK(path->size() == length);
    const std::wstring directory = ProgramDirectory(*path);
    FUZZ_CHECK(directory.empty() || directory.back() == L'\\');
    FUZZ_CHECK(path->compare(0, directory.size(), directory) == 0);
    FUZZ_CHECK(PrefsFilePath(directory).size() == directory.size() + 13);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    while (!in.Empty()) {
        switch (in.Byte() % 6) {
        case 0:
            LanguageValue(in);
            break;
        case 1:
            ExitItem(in);
            break;
        case 2:
            ModulePath(in);
            break;
        case 3: { // a text of any content cut to a field of any width
            const std::wstring text = in.Text();
            CheckCut(text, in.Byte() % 300);
            break;
        }
        case 4: { // a module path of any characters
            const std::wstring path = in.Text();
            const std::wstring directory = ProgramDirectory(path);
            FUZZ_CHECK(directory.empty() || directory.back() == L'\\');
            FUZZ_CHECK(path.compare(0, directory.size(), directory) == 0);
            break;
        }
        default: { // "FontSize" as the profile reader returns it
            const int32_t points = DialogFontSizeOf(in.U32());
            FUZZ_CHECK(points >= 0 && points <= kLargestFontSize);
            FUZZ_CHECK(!FunctionKey(static_cast<int32_t>(in.U32())).empty());
            break;
        }
        }
    }
    return 0;
}
