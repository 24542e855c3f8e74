// The launcher's matching rules, free of Windows: which INF fields name an arriving HID
// interface, where the program's INF lies, and how a stored Run value becomes a command.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text_search.h" // ContainsIgnoringCase: the id part is matched with it

namespace tarnwake {

// Characters of one INF field read by the launcher; longer fields fail to read and are skipped.
inline constexpr std::size_t kFieldChars = 260;
// Byte limit of the Run value: a command of up to 126 characters and its terminator fit.
inline constexpr std::size_t kRunValueBytes = 255;
// Characters of the module path; a longer path counts as unusable.
inline constexpr std::size_t kModulePathChars = 255;

inline constexpr wchar_t kInfFileName[] = L"TarnMsFlt.inf";
inline constexpr wchar_t kInfSection[] = L"ControlFlags";
inline constexpr wchar_t kInfKey[] = L"ExcludeFromSelect";

// The field's id part: the text after its first backslash, or empty when the field names no
// HID device. Only fields spelling "HID" in capitals count. A field with "HID" and no backslash
// has no id part, and an empty id part would match every device, so both give empty.
std::wstring_view DeviceIdPart(std::wstring_view field);

// True when the id part of field occurs in the device path, letters compared without case.
bool FieldMatchesDevicePath(std::wstring_view field, std::wstring_view devicePath);

// The device path of an arrival: the characters up to the first terminator, never beyond
// maxChars, so a name without a terminator is not read past its structure.
std::wstring_view BoundedDevicePath(const wchar_t* name, std::size_t maxChars);

// "<directory>\TarnMsFlt.inf" for the program at modulePath (cut at the last backslash). A
// path without any backslash gives the bare file name.
std::wstring InfPathBeside(std::wstring_view modulePath);

// The start command held in a Run value's bytes (UTF-16, little-endian): up to the first
// terminator or the end of the data; an odd trailing byte is ignored.
std::wstring StartCommandFromValue(const std::uint8_t* data, std::size_t size);
// The file the shell is asked to open for a start command. The installer quotes the agent's
// path, as Windows needs it to start the Run value from a folder with blanks: a command that
// is one quoted name gives that name. Any other command is the file name as it stands, a
// value with arguments included.
std::wstring StartFileOf(std::wstring_view command);

} // namespace tarnwake
