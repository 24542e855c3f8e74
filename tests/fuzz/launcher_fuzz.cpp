// Device arrivals as the launcher and TarnDesk's tray program meet them: the INF's
// "ExcludeFromSelect" fields, arrival broadcasts of any declared size, device paths of any
// characters, and the agent's Run value as read from the registry.
//
// Checked: no field, path or value is read past its buffer; a field names a device only when
// it spells "HID" and has an id part after its backslash; the three case-insensitive
// path searches of the programs agree; the start command holds exactly the value's units up
// to its terminator.
//
// Input: operations of one selector byte and their arguments until the input ends.
#include "fuzz_input.h"

#include "mouse/mouse_session.h"
#include "device_list.h"
#include "app/arrival_rule.h"
#include "device_arrival.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr size_t kNameOffset = 28; // dbcc_name in DEV_BROADCAST_DEVICEINTERFACE_W

std::wstring Fold(std::wstring_view text) {
    std::wstring out(text);
    for (wchar_t& c : out)
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
    return out;
}

// The one search, and the device walk's path test built on it, agree with the plain
// definition.
void CheckSearch(std::wstring_view haystack, std::wstring_view needle) {
    if (needle.empty())
        return; // each caller gives the empty needle its own meaning
    const bool found = Fold(haystack).find(Fold(needle)) != std::wstring::npos;
    FUZZ_CHECK(ContainsIgnoringCase(haystack, needle) == found);
    if (haystack.find(L'\0') == std::wstring_view::npos &&
        needle.find(L'\0') == std::wstring_view::npos) {
        const std::wstring h(haystack);
        const std::wstring n(needle);
        FUZZ_CHECK(PathContains(h.c_str(), n.c_str()) == found);
    }
}

// A text from the input, or one of the real ids and paths with an edit.
std::wstring Name(FuzzInput& in) {
    static const wchar_t* const kKnown[] = {
        L"HID\\Vid_F1D0&Pid_0084&MI_02&Col01",
        L"\\\\?\\hid#vid_f1d0&pid_0084&mi_02&col01#8&2a1c3e07&0&0000#"
        L"{4d1e55b2-f16f-11cf-88cb-001111000030}",
        L"\\\\?\\HID#VID_F1D0&PID_0084&MI_00#8&11d0c0a1&0&0000#"
        L"{4d1e55b2-f16f-11cf-88cb-001111000030}",
        L"USB\\VID_F1D0&PID_0084",
    };
    const uint8_t pick = in.Byte();
    if (pick < 0x80)
        return in.Text();
    std::wstring name = kKnown[pick % 4];
    const size_t at = in.Byte();
    if (at < name.size())
        name[at] = static_cast<wchar_t>(in.U16());
    return name;
}

void InfField(FuzzInput& in) {
    // SetupGetStringFieldW fills a 260-character buffer; the harness may leave it unterminated.
    const std::wstring text = Name(in);
    const bool terminated = in.Bit();
    auto field = std::make_unique<wchar_t[]>(tarnwake::kFieldChars);
    for (size_t i = 0; i < tarnwake::kFieldChars; ++i)
        field[i] = i < text.size() ? text[i] : (terminated ? L'\0' : L'x');
    const std::wstring_view bounded =
        tarnwake::BoundedDevicePath(field.get(), tarnwake::kFieldChars);
    FUZZ_CHECK(bounded.size() <= tarnwake::kFieldChars);
    const std::wstring_view id = tarnwake::DeviceIdPart(bounded);
    if (!id.empty()) {
        FUZZ_CHECK(bounded.find(L"HID") != std::wstring_view::npos);
        const size_t slash = bounded.find(L'\\');
        FUZZ_CHECK(slash != std::wstring_view::npos && bounded.substr(slash + 1) == id);
    }
    const std::wstring path = Name(in);
    const bool matches = tarnwake::FieldMatchesDevicePath(bounded, path);
    FUZZ_CHECK(!matches || !id.empty());
    CheckSearch(path, id);
}

void Broadcast(FuzzInput& in) {
    // A DEV_BROADCAST_DEVICEINTERFACE_W of exactly the size it declares.
    const size_t size = in.U16() % 700;
    auto* record = static_cast<uint8_t*>(std::malloc(size ? size : 1));
    for (size_t i = 0; i < size; ++i)
        record[i] = in.Byte();
    const wchar_t* name = reinterpret_cast<const wchar_t*>(record + kNameOffset);
    const size_t units = size > kNameOffset ? (size - kNameOffset) / sizeof(wchar_t) : 0;
    const std::wstring_view launcherPath =
        size > kNameOffset ? tarnwake::BoundedDevicePath(name, units) : std::wstring_view{};
    const std::wstring_view deskPath = BroadcastInterfaceName(name, size, kNameOffset);
    FUZZ_CHECK(launcherPath == deskPath);
    FUZZ_CHECK(deskPath.size() <= units);
    const std::wstring pattern = ArrivalPattern(L"F1D0", L"0084");
    CheckSearch(deskPath, pattern);
    CheckSearch(deskPath, tarnwake::DeviceIdPart(L"HID\\Vid_F1D0&Pid_0084&MI_02&Col01"));
    std::free(record);
}

void RunValue(FuzzInput& in) {
    const std::vector<uint8_t> value = in.Blob(in.U16() % 300);
    std::unique_ptr<uint8_t[]> data(new uint8_t[value.size() + 1]);
    if (!value.empty())
        std::memcpy(data.get(), value.data(), value.size());
    const std::wstring command =
        tarnwake::StartCommandFromValue(value.empty() ? nullptr : data.get(), value.size());
    FUZZ_CHECK(2 * command.size() <= value.size());
    for (size_t i = 0; i < command.size(); ++i) {
        FUZZ_CHECK(command[i] != L'\0');
        FUZZ_CHECK(static_cast<uint32_t>(command[i]) ==
                   static_cast<uint32_t>(value[2 * i] | (value[2 * i + 1] << 8)));
    }
    if (2 * command.size() + 1 < value.size())
        FUZZ_CHECK(value[2 * command.size()] == 0 && value[2 * command.size() + 1] == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    while (!in.Empty()) {
        switch (in.Byte() % 5) {
        case 0:
            InfField(in);
            break;
        case 1:
            Broadcast(in);
            break;
        case 2:
            RunValue(in);
            break;
        case 3: {
            const std::wstring haystack = Name(in);
            const std::wstring needle = Name(in);
            CheckSearch(haystack, needle);
            break;
        }
        default: { // the INF beside a module path of any characters
            const std::wstring module = Name(in);
            const std::wstring inf = tarnwake::InfPathBeside(module);
            FUZZ_CHECK(inf.size() >= 13 && inf.compare(inf.size() - 13, 13, L"TarnMsFlt.inf") == 0);
            break;
        }
        }
    }
    return 0;
}
