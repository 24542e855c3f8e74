#include "profile_file.h"

#include <cstdio>

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
    uint32_t stored = 0;
    if (!ParseHex(value, 8, &stored))
        return Refuse(LineNumber(checksumLine) + L": the checksum " + Quoted(value) +
                      L" is not 8 hex digits");
    std::string content;
    for (size_t i = 0; i < checksumLine; ++i) {
        content += lines[i];
        content += '\n';
    }
    if (ProfileFileChecksum(content) != stored)
        return Refuse(L"its checksum does not match its content (the file was changed or "
                      L"damaged after it was written)");
    if (index < lines.size())
        return Refuse(LineNumber(index) + L": there is content after the checksum line");
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
