// A button's assignment in words, as the command line's /show prints it: the function's name
// as the Settings dialog shows it, then the keys of a key, macro or string, or the target.
#pragma once

#include "button_assignment.h"

#include <array>
#include <string>

using FunctionNames = std::array<std::wstring, kFunctionCount>;

// The words around key names and targets, language keys with their English; "%s" receives
// the key's name or the number. The recorder's rows use the first two as well.
inline constexpr wchar_t kKeyDownKey[] = L"KeyDown";
inline constexpr wchar_t kDefaultKeyDown[] = L"%s (Down)";
inline constexpr wchar_t kKeyUpKey[] = L"KeyUp";
inline constexpr wchar_t kDefaultKeyUp[] = L"%s (Up)";
inline constexpr wchar_t kTargetProfileKey[] = L"TargetProfile";
inline constexpr wchar_t kDefaultTargetProfile[] = L"profile %s";
inline constexpr wchar_t kNoTargetProfileKey[] = L"NoTargetProfile";
inline constexpr wchar_t kDefaultNoTargetProfile[] = L"no profile (%s)";
inline constexpr wchar_t kUnknownRecordKey[] = L"UnknownRecord";
inline constexpr wchar_t kDefaultUnknownRecord[] = L"unknown record (kind %s)";
struct ButtonWords {
    std::wstring keyDown = kDefaultKeyDown;
    std::wstring keyUp = kDefaultKeyUp;
    std::wstring targetProfile = kDefaultTargetProfile;
    std::wstring noTargetProfile = kDefaultNoTargetProfile;
    std::wstring unknownRecord = kDefaultUnknownRecord;
};

// "Ctrl (Down), C (Down), ..." for keys and macros. Stops at the first event without a key, as
// the recorder does.
std::wstring EventListText(const std::vector<KeyEvent>& events, const ButtonWords& words = {});
// What a string key types: each event's plain character ("gg wp, hello1"), up to the first event
// without a key. An event whose key types no character is left out, or, with `markKeys`, shown
// as its key's name (or usage) in brackets so that it cannot be read as typed text.
std::wstring StringKeyText(const std::vector<KeyEvent>& events, bool markKeys);
// "Macro Key: A (Down), A (Up)", "String Key: \"ab1\"", "Select Profile: profile 3", ...
std::wstring DescribeButton(const ButtonAssignment& assignment, const FunctionNames& names,
                            const ButtonWords& words = {});
