// The tables are built at compile time from the ranges and single entries below; every entry
// not set here is 0 or the empty name.
#include "model/key_tables.h"

#include <cstddef>

namespace {

using IntTable = std::array<int32_t, kKeyTableSize>;
using NameTable = std::array<KeyNameField, kKeyTableSize>;

struct Pair {
    int from;
    int to;
};

// Single virtual-key code -> usage entries (ranges are added in BuildVKtoUsage).
constexpr Pair kVkUsagePairs[] = {
    {0x08, 0x2A}, {0x09, 0x2B}, {0x0C, 0xA2}, {0x0D, 0x28}, {0x13, 0x48}, {0x14, 0x39},
    {0x1B, 0x29}, {0x20, 0x2C}, {0x21, 0x4B}, {0x22, 0x4E}, {0x23, 0x4D}, {0x24, 0x4A},
    {0x25, 0x50}, {0x26, 0x52}, {0x27, 0x4F}, {0x28, 0x51}, {0x2D, 0x49}, {0x2E, 0x4C},
    {0x2A, 0x46}, {0x2C, 0x46}, {0x30, 0x27}, {0x5B, 0xE3}, {0x5C, 0xE7}, {0x60, 0x62},
    {0x6A, 0x55}, {0x6B, 0x57}, {0x6C, 0x2D}, {0x6D, 0x56}, {0x6E, 0x63}, {0x6F, 0x54},
    {0x90, 0x53}, {0x91, 0x47}, {0xA0, 0xE1}, {0xA1, 0xE5}, {0xA2, 0xE0}, {0xA3, 0xE4},
    {0xA4, 0xE2}, {0xA5, 0xE6}, {0x10, 0xE5}, {0x11, 0xE4}, {0x12, 0xE6}, {0xBA, 0x33},
    {0xBB, 0x2E}, {0xBC, 0x36}, {0xBD, 0x2D}, {0xBE, 0x37}, {0xBF, 0x38}, {0xC0, 0x35},
    {0xDB, 0x2F}, {0xDC, 0x31}, {0xDD, 0x30}, {0xDE, 0x34},
};

// Single usage -> virtual-key code entries. Where two keys give one usage, the side-specific
// or main-keyboard key wins; keypad Enter and 0xFF have no key that produces them.
constexpr Pair kUsageVkPairs[] = {
    {0x27, 0x30}, {0x28, 0x0D}, {0x29, 0x1B}, {0x2A, 0x08}, {0x2B, 0x09}, {0x2C, 0x20},
    {0x2D, 0xBD}, {0x2E, 0xBB}, {0x2F, 0xDB}, {0x30, 0xDD}, {0x31, 0xDC}, {0x33, 0xBA},
    {0x34, 0xDE}, {0x35, 0xC0}, {0x36, 0xBC}, {0x37, 0xBE}, {0x38, 0xBF}, {0x39, 0x14},
    {0x46, 0x2C}, {0x47, 0x91}, {0x48, 0x13}, {0x49, 0x2D}, {0x4A, 0x24}, {0x4B, 0x21},
    {0x4C, 0x2E}, {0x4D, 0x23}, {0x4E, 0x22}, {0x4F, 0x27}, {0x50, 0x25}, {0x51, 0x28},
    {0x52, 0x26}, {0x53, 0x90}, {0x54, 0x6F}, {0x55, 0x6A}, {0x56, 0x6D}, {0x57, 0x6B},
    {0x58, 0x0D}, {0x62, 0x60}, {0x63, 0x6E}, {0xA2, 0x0C}, {0xE0, 0xA2}, {0xE1, 0xA0},
    {0xE2, 0xA4}, {0xE3, 0x5B}, {0xE4, 0xA3}, {0xE5, 0xA1}, {0xE6, 0xA5}, {0xE7, 0x5C},
    {0xFF, 0xFF},
};

struct Name {
    int key;
    const wchar_t* text;
};

// Shown exactly as written, letter case and spelling included.
constexpr Name kNames[] = {
    {0x08, L"Back Space"}, {0x09, L"Tab"},       {0x0C, L"Clear"},       {0x0D, L"Enter"},
    {0x10, L"Shift"},      {0x11, L"Crrl"},      {0x12, L"Alt"},         {0x13, L"Pause"},
    {0x14, L"Caps Lock"},  {0x1B, L"Esc"},       {0x20, L"Space"},       {0x21, L"Page Up"},
    {0x22, L"Page Down"},  {0x23, L"End"},       {0x24, L"Home"},        {0x25, L"Left Key"},
    {0x26, L"Up Key"},     {0x27, L"Right Key"}, {0x28, L"Down Key"},    {0x29, L"Select"},
    {0x2A, L"Print"},      {0x2B, L"Execute"},   {0x2C, L"Print"},       {0x2D, L"Insert"},
    {0x2E, L"Delete"},     {0x2F, L"Help"},      {0x5B, L"LWin"},        {0x5C, L"RWin"},
    {0x5D, L"App"},        {0x5F, L"Sleep"},     {0x60, L"Num 0"},       {0x61, L"Num 1"},
    {0x62, L"Num 2"},      {0x63, L"Num 3"},     {0x64, L"Num 4"},       {0x65, L"NUm 5"},
    {0x66, L"NUm 6"},      {0x67, L"Num 7"},     {0x68, L"Num 8"},       {0x69, L"Num 9"},
    {0x6A, L"*"},          {0x6B, L"+"},         {0x6C, L"_"},           {0x6D, L"-"},
    {0x6E, L"."},          {0x6F, L"/"},         {0x90, L"Num Lock"},    {0x91, L"Scroll Lock"},
    {0xA0, L"L Shift"},    {0xA1, L"R Shift"},   {0xA2, L"L Ctrl"},      {0xA3, L"R Ctrl"},
    {0xA4, L"L Menu"},     {0xA5, L"R Menu"},    {0xA6, L"Back"},        {0xA7, L"Forward"},
    {0xA8, L"LRefresh"},   {0xA9, L"stop"},      {0xAA, L"Search"},      {0xAB, L"Favorites"},
    {0xAC, L"Home"},       {0xAD, L"Mute"},      {0xAE, L"Volume Down"}, {0xAF, L"Volume Up"},
    {0xB0, L"Next"},       {0xB1, L"Previous"},  {0xB2, L"Stop"},        {0xB3, L"Play/Pause"},
    {0xB4, L"Mail"},       {0xB5, L"Media"},     {0xB6, L"Application"}, {0xB7, L"Application"},
    {0xBA, L";"},          {0xBB, L"="},         {0xBC, L","},           {0xBD, L"-"},
    {0xBE, L"."},          {0xBF, L"/"},         {0xC0, L"`"},           {0xDB, L"["},
    {0xDC, L"\\"},         {0xDD, L"]"},         {0xDE, L"'"},
};

constexpr void SetRange(IntTable& table, int first, int last, int value) {
    for (int i = first; i <= last; ++i) {
        table[static_cast<std::size_t>(i)] = value + (i - first);
    }
}

constexpr IntTable BuildVKtoUsage() {
    IntTable table{};
    SetRange(table, 0x31, 0x39, 0x1E); // digits 1..9
    SetRange(table, 0x41, 0x5A, 0x04); // letters
    SetRange(table, 0x61, 0x69, 0x59); // keypad 1..9
    SetRange(table, 0x70, 0x7B, 0x3A); // F1..F12
    SetRange(table, 0x7C, 0x87, 0x68); // F13..F24
    for (const Pair& p : kVkUsagePairs) {
        table[static_cast<std::size_t>(p.from)] = p.to;
    }
    return table;
}

constexpr IntTable BuildUsageToVK() {
    IntTable table{};
    SetRange(table, 0x04, 0x1D, 0x41);
    SetRange(table, 0x1E, 0x26, 0x31);
    SetRange(table, 0x3A, 0x45, 0x70);
    SetRange(table, 0x59, 0x61, 0x61);
    SetRange(table, 0x68, 0x73, 0x7C);
    for (const Pair& p : kUsageVkPairs) {
        table[static_cast<std::size_t>(p.from)] = p.to;
    }
    return table;
}

constexpr void SetName(NameTable& table, int key, const wchar_t* text) {
    KeyNameField& field = table[static_cast<std::size_t>(key)];
    for (std::size_t i = 0; text[i] != 0 && i + 1 < field.size(); ++i) {
        field[i] = text[i];
    }
}

constexpr NameTable BuildKeyNames() {
    NameTable table{};
    for (int i = 0; i <= 9; ++i) {
        table[0x30 + static_cast<std::size_t>(i)][0] = static_cast<wchar_t>(L'0' + i);
    }
    for (int i = 0; i < 26; ++i) {
        table[0x41 + static_cast<std::size_t>(i)][0] = static_cast<wchar_t>(L'A' + i);
    }
    for (int i = 1; i <= 24; ++i) { // F1..F24
        KeyNameField& field = table[static_cast<std::size_t>(0x70 + i - 1)];
        field[0] = L'F';
        if (i < 10) {
            field[1] = static_cast<wchar_t>(L'0' + i);
        } else {
            field[1] = static_cast<wchar_t>(L'0' + i / 10);
            field[2] = static_cast<wchar_t>(L'0' + i % 10);
        }
    }
    for (const Name& n : kNames) {
        SetName(table, n.key, n.text);
    }
    return table;
}

using CharacterTable = std::array<wchar_t, kKeyTableSize>;

// The punctuation keys' plain characters, the same keys the name table names by character.
constexpr Pair kPlainCharacters[] = {
    {0xBA, L';'}, {0xBB, L'='}, {0xBC, L','},  {0xBD, L'-'}, {0xBE, L'.'},  {0xBF, L'/'},
    {0xC0, L'`'}, {0xDB, L'['}, {0xDC, L'\\'}, {0xDD, L']'}, {0xDE, L'\''},
};

constexpr CharacterTable BuildKeyCharacters() {
    CharacterTable table{};
    table[0x20] = L' ';
    for (int i = 0; i <= 9; ++i) {
        table[0x30 + static_cast<std::size_t>(i)] = static_cast<wchar_t>(L'0' + i);
    }
    for (int i = 0; i < 26; ++i) {
        table[0x41 + static_cast<std::size_t>(i)] = static_cast<wchar_t>(L'a' + i);
    }
    for (const Pair& p : kPlainCharacters) {
        table[static_cast<std::size_t>(p.from)] = static_cast<wchar_t>(p.to);
    }
    return table;
}

} // namespace

constinit const std::array<int32_t, kKeyTableSize> VKtoUsage = BuildVKtoUsage();
constinit const std::array<int32_t, kKeyTableSize> UsageToVK = BuildUsageToVK();
constinit const std::array<KeyNameField, kKeyTableSize> KeyNames = BuildKeyNames();
constinit const std::array<wchar_t, kKeyTableSize> KeyCharacters = BuildKeyCharacters();
