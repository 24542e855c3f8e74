#include "button_text.h"

#include "model/key_tables.h"
#include "text_rules.h"

#include <cwchar>

namespace {

std::wstring Trimmed(const wchar_t* text) {
    std::wstring_view view(text);
    while (!view.empty() && view.front() == L' ')
        view.remove_prefix(1);
    while (!view.empty() && view.back() == L' ')
        view.remove_suffix(1);
    return std::wstring(view);
}

// The key's name, or which usage it is when the key tables do not name it.
std::wstring NameOfEvent(const KeyEvent& event) {
    std::wstring name = Trimmed(NameOfUsage(event.usage));
    if (name.empty()) {
        wchar_t code[16];
        std::swprintf(code, 16, L"usage %02X", unsigned{event.usage});
        name = code;
    }
    return name;
}

} // namespace

std::wstring EventListText(const std::vector<KeyEvent>& events, const ButtonWords& words) {
    std::wstring text;
    for (const KeyEvent& event : events) {
        if (event.usage == 0)
            break; // the recorder stops listing at the first empty event too
        if (!text.empty())
            text += L", ";
        text += FillPattern((event.flags & kEventPress) != 0 ? words.keyDown : words.keyUp,
                            {NameOfEvent(event)});
    }
    return text;
}

std::wstring StringKeyText(const std::vector<KeyEvent>& events, bool markKeys) {
    std::wstring text;
    for (const KeyEvent& event : events) {
        if (event.usage == 0)
            break;
        if (const wchar_t character = CharacterOfUsage(event.usage); character != 0)
            text += character;
        else if (markKeys)
            text += L"[" + NameOfEvent(event) + L"]";
    }
    return text;
}

std::wstring DescribeButton(const ButtonAssignment& a, const FunctionNames& names,
                            const ButtonWords& words) {
    if (a.kind == AssignmentKind::Unknown)
        return FillPattern(words.unknownRecord, {std::to_wstring(a.storedKind)});
    const std::wstring& name = names[size_t(*FunctionOf(a))];
    switch (a.kind) {
    case AssignmentKind::SingleKey:
    case AssignmentKind::Macro:
        return name + L": " + EventListText(a.events, words);
    case AssignmentKind::String:
        return name + L": \"" + StringKeyText(a.events, true) + L"\"";
    case AssignmentKind::ProfileSwitch:
        return name + L": " +
               (IsProfileIndex(a.param)
                    ? FillPattern(words.targetProfile, {std::to_wstring(a.param + 1)})
                    : FillPattern(words.noTargetProfile, {std::to_wstring(a.param)}));
    default:
        return name;
    }
}
