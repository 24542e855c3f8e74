// Windows-free decisions of the action dispatcher and its process-wide state.
#include "actions.h"

#include "registry_string.h"

#include <cwchar>

bool dragLocked = false;

namespace {
constexpr uint8_t kVkControl = 0x11;
constexpr uint8_t kVkMenu = 0x12;
constexpr uint8_t kVkLWin = 0x5B;
constexpr uint8_t kVkTab = 0x09;

KeySequence Press(uint8_t vk) {
    return {{{vk, false, false}, {vk, true, false}}, 2};
}

KeySequence Chord(uint8_t modifier, uint8_t vk) {
    return {
        {{modifier, false, false}, {vk, false, false}, {vk, true, false}, {modifier, true, false}},
        4};
}

wchar_t FoldAscii(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c;
}

// Class names of the classic shells and browsers are ASCII; fold only that range.
bool EqualsIgnoringCase(const wchar_t* a, const wchar_t* b) {
    if (a == nullptr) {
        return false;
    }
    for (; *a != 0 && *b != 0; ++a, ++b) {
        if (FoldAscii(*a) != FoldAscii(*b)) {
            return false;
        }
    }
    return *a == *b;
}

bool Contains(const wchar_t* text, const wchar_t* part) {
    return text != nullptr && std::wcsstr(text, part) != nullptr;
}
} // namespace

size_t ButtonsOfMask(uint32_t mask, int (&buttons)[10]) {
    size_t count = 0;
    for (int button = 1; button <= 10; ++button) {
        if ((mask & (1u << (button - 1))) != 0) {
            buttons[count++] = button;
        }
    }
    return count;
}

KeySequence KeysOfAction(uint32_t code) {
    switch (code) {
    case 8:
        return Chord(kVkControl, 0x4F);
    case 9:
        return Chord(kVkControl, 0x58);
    case 10:
        return Chord(kVkControl, 0x43);
    case 11:
        return Chord(kVkControl, 0x56);
    case 12:
        return Chord(kVkControl, 0x57);
    case 13:
        return Chord(kVkMenu, 0x73);
    case 14:
        return Press(0x2E);
    case 15:
        return Press(0x0D);
    case 16:
        return Press(0x1B);
    case 17:
        return Press(kVkTab);
    case 18:
        return Press(0x20);
    case 19:
        return Press(0x13);
    case 20:
        return Press(kVkLWin);
    case 21:
        return Press(0x21);
    case 22:
        return Press(0x22);
    case 24:
        // Windows+D: the Windows key goes up before D, all with scan code 0.
        return {{{kVkLWin, false, true},
                 {0x44, false, true},
                 {kVkLWin, true, true},
                 {0x44, true, true}},
                4};
    case 30:
        return {{{kVkControl, false, false},
                 {kVkLWin, false, false},
                 {kVkTab, false, false},
                 {kVkTab, true, false},
                 {kVkLWin, true, false},
                 {kVkControl, true, false}},
                6};
    default:
        return {{}, 0};
    }
}

bool BrowserNeedsTitle(const wchar_t* className) {
    return Contains(className, L"Afx:400000:b");
}

uint32_t BrowserGenerationOf(const wchar_t* className, const wchar_t* title) {
    if (EqualsIgnoringCase(className, L"MozillaWindowClass") || Contains(className, L"Mozilla") ||
        Contains(className, L"NS_AE_WindowClass")) {
        return 0x60000;
    }
    if (BrowserNeedsTitle(className) && Contains(title, L"Netscape")) {
        return 0x40007;
    }
    return 0;
}

NavigationMethod NavigationMethodOf(const wchar_t* className, uint32_t generation) {
    const uint32_t family = generation >> 16;
    if (EqualsIgnoringCase(className, L"IEFrame") ||
        EqualsIgnoringCase(className, L"ExploreWClass") ||
        EqualsIgnoringCase(className, L"CabinetWClass") || family == 5 || family == 6 ||
        family == 7) {
        return NavigationMethod::BrowserKey;
    }
    if (generation != 0) {
        return NavigationMethod::FrameCommand;
    }
    if (EqualsIgnoringCase(className, L"HH Parent")) {
        return NavigationMethod::HelpCommand;
    }
    return NavigationMethod::AppCommand;
}

bool FormatButtonKeyName(int button, wchar_t* out, size_t outCount) {
    const int written =
        std::swprintf(out, outCount, L"Software\\Orvane\\Stilbe\\Settings\\%d", button);
    return written > 0 && static_cast<size_t>(written) < outCount;
}

bool DecodeRegistryString(uint32_t type, const uint8_t* data, size_t size, wchar_t* out,
                          size_t outCount) {
    if (outCount == 0) {
        return false;
    }
    out[0] = 0;
    const auto text = RegistryStringValue(type, data, size, kButtonValueByteLimit);
    // An empty text would open nothing sensible; one that does not fit is not the value.
    if (!text || text->empty() || text->size() >= outCount) {
        return false;
    }
    text->copy(out, text->size());
    out[text->size()] = 0;
    return true;
}

std::wstring ToolCommandLine(std::wstring_view folder, std::wstring_view file,
                             std::wstring_view arguments) {
    std::wstring line = L"\"";
    line += folder;
    line += file;
    line += L'"';
    if (!arguments.empty()) {
        line += L' ';
        line += arguments;
    }
    return line;
}
