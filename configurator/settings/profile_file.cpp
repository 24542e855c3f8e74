#include "profile_file.h"

#include "model/button_assignment.h"

#include <cstdio>
#include <optional>
#include <type_traits>

namespace {

constexpr std::string_view kSignature = "TarnDesk profiles";
constexpr std::string_view kFormatLabel = "format ";
constexpr std::string_view kProgramLabel = "program ";
constexpr std::string_view kWrittenLabel = "written ";
constexpr std::string_view kDeviceLabel = "device ";
constexpr std::string_view kChecksumLabel = "checksum ";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr char kHexDigits[] = "0123456789ABCDEF";

std::string BlockLabel(int block) {
    return block == 0 ? std::string("header") : "profile" + std::to_string(block);
}

std::string Hex(uint32_t value, int digits) {
    std::string text(size_t(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        text[size_t(i)] = kHexDigits[value & 0xF];
    return text;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Exactly `digits` hex digits; false on anything else.
bool ParseHex(std::string_view text, size_t digits, uint32_t* value) {
    if (text.size() != digits)
        return false;
    uint32_t result = 0;
    for (char c : text) {
        const int v = HexValue(c);
        if (v < 0)
            return false;
        result = (result << 4) | uint32_t(v);
    }
    *value = result;
    return true;
}

std::string DataLinePrefix(int block, size_t offset) {
    return BlockLabel(block) + " " + Hex(uint32_t(offset), 4);
}

std::wstring Widen(std::string_view text) {
    // Only for our own ASCII texts and for excerpts of the file, where any non-ASCII byte
    // shows as '?' rather than being decoded.
    std::wstring wide;
    for (char c : text)
        wide += (static_cast<unsigned char>(c) < 0x80 && c >= 0x20) ? wchar_t(c) : L'?';
    return wide;
}

std::wstring Quoted(std::string_view line) {
    constexpr size_t kShown = 40;
    return L"\"" + Widen(line.substr(0, kShown)) + (line.size() > kShown ? L"...\"" : L"\"");
}

std::wstring LineNumber(size_t index) {
    return L"line " + std::to_wstring(index + 1);
}

bool HasControlCharacter(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return true;
    return false;
}

// Splits at '\n' and drops one '\r' before it; the final line end is optional.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        const size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        start = next;
    }
    return lines;
}

ParsedProfileFile Refuse(std::wstring problem) {
    ParsedProfileFile result;
    result.problem = std::move(problem);
    return result;
}

bool ParseDataBytes(std::string_view text, uint8_t* bytes) {
    if (text.size() != kFileBytesPerLine * 3 - 1)
        return false;
    for (size_t i = 0; i < kFileBytesPerLine; ++i) {
        uint32_t value = 0;
        if (!ParseHex(text.substr(3 * i, 2), 2, &value))
            return false;
        if (i + 1 < kFileBytesPerLine && text[3 * i + 2] != ' ')
            return false;
        bytes[i] = uint8_t(value);
    }
    return true;
}

// The checksum line (at `checksumLine`, its value `value`) against every line before it, and
// nothing after it (`next` is the line after it): empty when the file ends as it should.
std::wstring ChecksumProblem(const std::vector<std::string_view>& lines, size_t checksumLine,
                             std::string_view value, size_t next) {
    uint32_t stored = 0;
    if (!ParseHex(value, 8, &stored))
        return LineNumber(checksumLine) + L": the checksum " + Quoted(value) +
               L" is not 8 hex digits";
    std::string content;
    for (size_t i = 0; i < checksumLine; ++i) {
        content += lines[i];
        content += '\n';
    }
    if (ProfileFileChecksum(content) != stored)
        return L"its checksum does not match its content (the file was changed or damaged "
               L"after it was written)";
    if (next < lines.size())
        return LineNumber(next) + L": there is content after the checksum line";
    return {};
}

} // namespace

uint32_t ProfileFileChecksum(std::string_view content) {
    uint32_t crc = 0xFFFFFFFFu;
    for (char c : content) {
        crc ^= static_cast<unsigned char>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string FormatProfileFile(const MemoryImage& image, const ProfileFileInfo& info) {
    std::string text;
    text += std::string(kSignature) + "\n";
    text += std::string(kFormatLabel) + std::to_string(kProfileFileFormat) + "\n";
    text += std::string(kProgramLabel) + info.program + "\n";
    text += std::string(kWrittenLabel) + info.written + "\n";
    text += std::string(kDeviceLabel) + Hex(info.vendorId, 4) + ":" + Hex(info.productId, 4) + "\n";
    for (int block = 0; block < kImageBlockCount; ++block) {
        for (size_t offset = 0; offset < kBlockLength; offset += kFileBytesPerLine) {
            text += DataLinePrefix(block, offset);
            for (size_t i = 0; i < kFileBytesPerLine; ++i) {
                text += ' ';
                text += Hex(image[size_t(block)][offset + i], 2);
            }
            text += "\n";
        }
    }
    text += std::string(kChecksumLabel) + Hex(ProfileFileChecksum(text), 8) + "\n";
    return text;
}

ParsedProfileFile ParseProfileFile(std::string_view text, uint16_t vendorId, uint16_t productId) {
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        text.remove_prefix(kByteOrderMark.size()); // some editors add one when saving UTF-8
    const std::vector<std::string_view> lines = SplitLines(text);
    if (lines.empty() || lines[0] != kSignature)
        return Refuse(L"it is not a TarnDesk profile file (the first line is not \"" +
                      Widen(kSignature) + L"\")");

    ParsedProfileFile result;
    size_t index = 1;
    auto field = [&](std::string_view label, std::string_view* value) {
        if (index >= lines.size() || lines[index].substr(0, label.size()) != label)
            return false;
        *value = lines[index].substr(label.size());
        ++index;
        return true;
    };
    auto missing = [&](std::string_view label) {
        return Refuse(LineNumber(index) + L" should start with \"" + Widen(label) + L"\"" +
                      (index < lines.size() ? L" but reads " + Quoted(lines[index])
                                            : std::wstring(L" but the file ends before it")));
    };

    std::string_view value;
    if (!field(kFormatLabel, &value))
        return missing(kFormatLabel);
    uint32_t format = 0;
    bool digits = !value.empty() && value.size() <= 9;
    for (char c : value)
        digits = digits && c >= '0' && c <= '9';
    if (!digits)
        return Refuse(L"its format version " + Quoted(value) + L" is not a number");
    format = uint32_t(std::stoul(std::string(value)));
    if (format > uint32_t(kProfileFileFormat))
        return Refuse(L"it is in format " + std::to_wstring(format) +
                      L", written by a later TarnDesk; this TarnDesk reads format " +
                      std::to_wstring(kProfileFileFormat));
    if (format != uint32_t(kProfileFileFormat))
        return Refuse(L"format " + std::to_wstring(format) + L" is not a known format");

    if (!field(kProgramLabel, &value))
        return missing(kProgramLabel);
    if (value.empty() || HasControlCharacter(value))
        return Refuse(LineNumber(index - 1) + L": the program version is empty or not text");
    result.info.program = std::string(value);
    if (!field(kWrittenLabel, &value))
        return missing(kWrittenLabel);
    if (value.empty() || HasControlCharacter(value))
        return Refuse(LineNumber(index - 1) + L": the date is empty or not text");
    result.info.written = std::string(value);

    if (!field(kDeviceLabel, &value))
        return missing(kDeviceLabel);
    uint32_t vendor = 0;
    uint32_t product = 0;
    if (value.size() != 9 || value[4] != ':' || !ParseHex(value.substr(0, 4), 4, &vendor) ||
        !ParseHex(value.substr(5), 4, &product))
        return Refuse(LineNumber(index - 1) + L": the device " + Quoted(value) +
                      L" is not written as VVVV:PPPP");
    if (vendor != vendorId || product != productId)
        return Refuse(L"it was made for the device " + Widen(Hex(vendor, 4)) + L":" +
                      Widen(Hex(product, 4)) + L", not for this mouse (" + Widen(Hex(vendorId, 4)) +
                      L":" + Widen(Hex(productId, 4)) + L")");
    result.info.vendorId = uint16_t(vendor);
    result.info.productId = uint16_t(product);

    for (int block = 0; block < kImageBlockCount; ++block) {
        for (size_t offset = 0; offset < kBlockLength; offset += kFileBytesPerLine) {
            const std::string prefix = DataLinePrefix(block, offset);
            if (index >= lines.size())
                return Refuse(L"it ends before the line \"" + Widen(prefix) +
                              L"\" (the file is cut short)");
            const std::string_view line = lines[index];
            if (line.substr(0, prefix.size() + 1) != prefix + " ")
                return Refuse(LineNumber(index) + L" should be \"" + Widen(prefix) +
                              L" ...\" but reads " + Quoted(line) +
                              L" (a line is missing, added or out of order)");
            if (!ParseDataBytes(line.substr(prefix.size() + 1),
                                result.image[size_t(block)].data() + offset)) {
                if (index + 1 == lines.size())
                    return Refuse(L"it ends inside " + LineNumber(index) +
                                  L" (the file is cut short)");
                return Refuse(LineNumber(index) + L" (" + ImageBlockName(block) +
                              L") does not hold 32 bytes as two-digit hex numbers");
            }
            ++index;
        }
    }

    const size_t checksumLine = index;
    if (!field(kChecksumLabel, &value))
        return missing(kChecksumLabel);
    if (const std::wstring problem = ChecksumProblem(lines, checksumLine, value, index);
        !problem.empty())
        return Refuse(problem);
    result.accepted = true;
    return result;
}

std::wstring ImageBlockName(int block) {
    return block == 0 ? std::wstring(L"header") : L"profile " + std::to_wstring(block);
}

std::vector<BlockDifference> CompareImages(const MemoryImage& expected, const MemoryImage& actual) {
    std::vector<BlockDifference> differences;
    for (int block = 0; block < kImageBlockCount; ++block) {
        BlockDifference difference{block, 0, 0};
        for (size_t i = 0; i < kBlockLength; ++i) {
            if (expected[size_t(block)][i] == actual[size_t(block)][i])
                continue;
            if (difference.byteCount++ == 0)
                difference.firstOffset = i;
        }
        if (difference.byteCount != 0)
            differences.push_back(difference);
    }
    return differences;
}

std::wstring DescribeDifferences(const std::vector<BlockDifference>& differences) {
    std::wstring text;
    for (const BlockDifference& d : differences) {
        text += ImageBlockName(d.block) + L": " + std::to_wstring(d.byteCount) +
                (d.byteCount == 1 ? L" byte differs" : L" bytes differ") +
                L", the first at offset 0x" + Widen(Hex(uint32_t(d.firstOffset), 4)) + L"\n";
    }
    return text;
}

namespace {

constexpr std::string_view kLibrarySignature = "TarnDesk profile";
constexpr std::string_view kNameLabel = "name ";
constexpr std::string_view kSettingsLabel = "settings ";
constexpr std::string_view kBlockLabel = "block";

// One code point of UTF-8 at `at`, strictly: no overlong forms, no surrogates, nothing past
// U+10FFFF. Returns the length taken, 0 when the bytes there are no UTF-8.
size_t DecodeUtf8(std::string_view text, size_t at, uint32_t* point) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    uint32_t value = 0;
    uint32_t least = 0;
    if (lead < 0x80) {
        *point = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1Fu;
        least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0Fu;
        least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07u;
        least = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (byte(at + i) & 0x3Fu);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *point = value;
    return length;
}

ParsedLibraryProfile RefuseProfile(std::wstring problem) {
    ParsedLibraryProfile result;
    result.problem = std::move(problem);
    return result;
}

std::string LibraryLinePrefix(size_t offset) {
    return std::string(kBlockLabel) + " " + Hex(uint32_t(offset), 4);
}

std::string HexBytes(const uint8_t* bytes, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        if (i != 0)
            text += ' ';
        text += Hex(bytes[i], 2);
    }
    return text;
}

} // namespace

std::wstring LibraryNameProblem(std::string_view name) {
    size_t count = 0;
    for (size_t at = 0; at < name.size(); ++count) {
        uint32_t point = 0;
        const size_t length = DecodeUtf8(name, at, &point);
        if (length == 0)
            return L"its name is not valid UTF-8 text";
        if (point < 0x20 || point == 0x7F || (point >= 0x80 && point < 0xA0))
            return L"its name holds a control character";
        at += length;
    }
    if (count == 0)
        return L"it has no name";
    if (count > kLibraryNameMaxCount)
        return L"its name is " + std::to_wstring(count) + L" characters long, more than " +
               std::to_wstring(kLibraryNameMaxCount);
    return {};
}

namespace {

// The file's first line, without a byte-order mark or a carriage return.
std::string_view FirstLine(std::string_view text) {
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        text.remove_prefix(kByteOrderMark.size());
    std::string_view first = text.substr(0, text.find('\n'));
    if (!first.empty() && first.back() == '\r')
        first.remove_suffix(1);
    return first;
}

} // namespace

bool IsBackupFile(std::string_view text) {
    return FirstLine(text) == kSignature;
}

bool IsLibraryProfileFile(std::string_view text) {
    return FirstLine(text) == kLibrarySignature;
}

std::string FormatLibraryProfile(const LibraryProfile& profile, const ProfileFileInfo& info) {
    std::string text;
    text += std::string(kLibrarySignature) + "\n";
    text += std::string(kFormatLabel) + std::to_string(kLibraryProfileFormat) + "\n";
    text += std::string(kProgramLabel) + info.program + "\n";
    text += std::string(kWrittenLabel) + info.written + "\n";
    text += std::string(kDeviceLabel) + Hex(info.vendorId, 4) + ":" + Hex(info.productId, 4) + "\n";
    text += std::string(kNameLabel) + profile.name + "\n";
    text += std::string(kSettingsLabel) +
            HexBytes(profile.settings.data(), profile.settings.size()) + "\n";
    for (size_t offset = 0; offset < kBlockLength; offset += kFileBytesPerLine)
        text += LibraryLinePrefix(offset) + " " +
                HexBytes(profile.block.data() + offset, kFileBytesPerLine) + "\n";
    text += std::string(kChecksumLabel) + Hex(ProfileFileChecksum(text), 8) + "\n";
    return text;
}

ParsedLibraryProfile ParseLibraryProfile(std::string_view text, uint16_t vendorId,
                                         uint16_t productId) {
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        text.remove_prefix(kByteOrderMark.size());
    const std::vector<std::string_view> lines = SplitLines(text);
    if (lines.empty() || lines[0] != kLibrarySignature)
        return RefuseProfile(L"it is not a TarnDesk profile (the first line is not \"" +
                             Widen(kLibrarySignature) + L"\")");

    ParsedLibraryProfile result;
    size_t index = 1;
    std::string_view value;
    auto field = [&](std::string_view label) {
        if (index >= lines.size() || lines[index].substr(0, label.size()) != label)
            return false;
        value = lines[index].substr(label.size());
        ++index;
        return true;
    };
    auto missing = [&](std::string_view label) {
        if (index >= lines.size())
            return RefuseProfile(L"it ends before the line \"" + Widen(label) +
                                 L"...\" (the file is cut short)");
        return RefuseProfile(LineNumber(index) + L" should start with \"" + Widen(label) +
                             L"\" but reads " + Quoted(lines[index]));
    };
    // A refusal, or nothing when the line was taken.
    auto textField = [&](std::string_view label, std::string* into,
                         const wchar_t* what) -> std::optional<ParsedLibraryProfile> {
        if (!field(label))
            return missing(label);
        if (value.empty() || HasControlCharacter(value))
            return RefuseProfile(LineNumber(index - 1) + L": " + what + L" is empty or not text");
        *into = std::string(value);
        return std::nullopt;
    };

    if (!field(kFormatLabel))
        return missing(kFormatLabel);
    bool digits = !value.empty() && value.size() <= 9;
    for (char c : value)
        digits = digits && c >= '0' && c <= '9';
    if (!digits)
        return RefuseProfile(L"its format version " + Quoted(value) + L" is not a number");
    const uint32_t format = uint32_t(std::stoul(std::string(value)));
    if (format > uint32_t(kLibraryProfileFormat))
        return RefuseProfile(L"it is in format " + std::to_wstring(format) +
                             L", written by a later TarnDesk; this TarnDesk reads format " +
                             std::to_wstring(kLibraryProfileFormat));
    if (format != uint32_t(kLibraryProfileFormat))
        return RefuseProfile(L"format " + std::to_wstring(format) + L" is not a known format");

    if (auto refused = textField(kProgramLabel, &result.info.program, L"the program version"))
        return *refused;
    if (auto refused = textField(kWrittenLabel, &result.info.written, L"the date"))
        return *refused;

    if (!field(kDeviceLabel))
        return missing(kDeviceLabel);
    uint32_t vendor = 0;
    uint32_t product = 0;
    if (value.size() != 9 || value[4] != ':' || !ParseHex(value.substr(0, 4), 4, &vendor) ||
        !ParseHex(value.substr(5), 4, &product))
        return RefuseProfile(LineNumber(index - 1) + L": the device " + Quoted(value) +
                             L" is not written as VVVV:PPPP");
    if (vendor != vendorId || product != productId)
        return RefuseProfile(L"it was made for the device " + Widen(Hex(vendor, 4)) + L":" +
                             Widen(Hex(product, 4)) + L", not for this mouse (" +
                             Widen(Hex(vendorId, 4)) + L":" + Widen(Hex(productId, 4)) + L")");
    result.info.vendorId = uint16_t(vendor);
    result.info.productId = uint16_t(product);

    if (!field(kNameLabel))
        return missing(kNameLabel);
    const std::wstring nameProblem = LibraryNameProblem(value);
    if (!nameProblem.empty())
        return RefuseProfile(LineNumber(index - 1) + L": " + nameProblem);
    result.profile.name = std::string(value);

    if (!field(kSettingsLabel))
        return missing(kSettingsLabel);
    bool settingsRead = value.size() == kProfileSettingsLength * 3 - 1;
    for (size_t i = 0; settingsRead && i < kProfileSettingsLength; ++i) {
        uint32_t byte = 0;
        settingsRead = ParseHex(value.substr(3 * i, 2), 2, &byte) &&
                       (i + 1 == kProfileSettingsLength || value[3 * i + 2] == ' ');
        result.profile.settings[i] = uint8_t(byte);
    }
    if (!settingsRead)
        return RefuseProfile(LineNumber(index - 1) +
                             L" does not hold 8 bytes as two-digit hex numbers");

    for (size_t offset = 0; offset < kBlockLength; offset += kFileBytesPerLine) {
        const std::string prefix = LibraryLinePrefix(offset);
        if (index >= lines.size())
            return RefuseProfile(L"it ends before the line \"" + Widen(prefix) +
                                 L"\" (the file is cut short)");
        const std::string_view line = lines[index];
        if (line.substr(0, prefix.size() + 1) != prefix + " ")
            return RefuseProfile(LineNumber(index) + L" should be \"" + Widen(prefix) +
                                 L" ...\" but reads " + Quoted(line) +
                                 L" (a line is missing, added or out of order)");
        if (!ParseDataBytes(line.substr(prefix.size() + 1), result.profile.block.data() + offset)) {
            if (index + 1 == lines.size())
                return RefuseProfile(L"it ends inside " + LineNumber(index) +
                                     L" (the file is cut short)");
            return RefuseProfile(LineNumber(index) +
                                 L" does not hold 32 bytes as two-digit hex numbers");
        }
        ++index;
    }

    const size_t checksumLine = index;
    if (!field(kChecksumLabel))
        return missing(kChecksumLabel);
    if (const std::wstring problem = ChecksumProblem(lines, checksumLine, value, index);
        !problem.empty())
        return RefuseProfile(problem);
    result.accepted = true;
    return result;
}

LibraryProfile TakeLibraryProfile(const MemoryImage& image, int profile, std::string name) {
    LibraryProfile taken;
    taken.name = std::move(name);
    if (!IsProfileIndex(profile))
        return taken;
    taken.block = image[size_t(profile) + 1];
    const size_t record = kProfileSettingsOffset + kProfileSettingsLength * size_t(profile);
    for (size_t i = 0; i < kProfileSettingsLength; ++i)
        taken.settings[i] = image[0][record + i];
    return taken;
}

void PlaceLibraryProfile(const LibraryProfile& profile, int slot, ProfileBlock& block,
                         HeaderBlock& header) {
    if (!IsProfileIndex(slot))
        return;
    block.bytes = profile.block;
    // The slot byte carries the profile a record belongs to; the button bits stay.
    for (int button = 0; button < kButtonCount; ++button) {
        ButtonRecord record = block.Record(button);
        record.slot = SlotByte(slot, record.slot & 0x1F);
        block.SetRecord(button, record);
    }
    const size_t at = kProfileSettingsOffset + kProfileSettingsLength * size_t(slot);
    for (size_t i = 0; i < kProfileSettingsLength; ++i)
        header.bytes[at + i] = profile.settings[i];
    header.bytes[at] = uint8_t(slot);
}

std::string ToUtf8(std::wstring_view text) {
    std::string utf8;
    const auto unit = [&text](size_t i) {
        return static_cast<uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i]));
    };
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t point = unit(i);
        if (point >= 0xD800 && point <= 0xDBFF && i + 1 < text.size() && unit(i + 1) >= 0xDC00 &&
            unit(i + 1) <= 0xDFFF) {
            point = 0x10000 + ((point - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        } else if ((point >= 0xD800 && point <= 0xDFFF) || point > 0x10FFFF) {
            point = 0xFFFD;
        }
        if (point < 0x80) {
            utf8 += char(point);
        } else if (point < 0x800) {
            utf8 += char(0xC0 | (point >> 6));
            utf8 += char(0x80 | (point & 0x3F));
        } else if (point < 0x10000) {
            utf8 += char(0xE0 | (point >> 12));
            utf8 += char(0x80 | ((point >> 6) & 0x3F));
            utf8 += char(0x80 | (point & 0x3F));
        } else {
            utf8 += char(0xF0 | (point >> 18));
            utf8 += char(0x80 | ((point >> 12) & 0x3F));
            utf8 += char(0x80 | ((point >> 6) & 0x3F));
            utf8 += char(0x80 | (point & 0x3F));
        }
    }
    return utf8;
}

std::wstring FromUtf8(std::string_view text) {
    std::wstring wide;
    for (size_t at = 0; at < text.size();) {
        uint32_t point = 0;
        const size_t length = DecodeUtf8(text, at, &point);
        if (length == 0) {
            wide += wchar_t(0xFFFD);
            ++at;
            continue;
        }
        at += length;
        if (point >= 0x10000 && sizeof(wchar_t) == 2) {
            wide += wchar_t(0xD800 + ((point - 0x10000) >> 10));
            wide += wchar_t(0xDC00 + ((point - 0x10000) & 0x3FF));
        } else {
            wide += wchar_t(point);
        }
    }
    return wide;
}
