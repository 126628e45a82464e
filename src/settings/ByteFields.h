// Big-endian fields and fixed-width texts of the settings blocks, for the
// record layouts of this folder only: blocks are read and written field by
// field, so a record's layout never depends on how the compiler packs it.
#pragma once

#include "platform/UnicodeText.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The cut-to-width rule of every text in the settings blocks: at most
// `width` - 1 bytes, so that a NUL always fits, cut on a UTF-8 boundary.
inline std::string CutSettingsText(std::string_view text, size_t width)
{
    std::string cut(text);
    CutUTF8Text(cut, width - 1);
    return cut;
}

// Appends fields to a block under construction.
class ByteFieldWriter {
public:
    void UInt32(uint32_t value)
    {
        UInt16(uint16_t(value >> 16));
        UInt16(uint16_t(value));
    }
    void UInt16(uint16_t value)
    {
        fBytes.push_back(char(value >> 8));
        fBytes.push_back(char(value));
    }
    void UInt8(uint8_t value) { fBytes.push_back(char(value)); }
    // The text cut to width - 1 bytes and padded with NULs to `width`.
    void Text(std::string_view text, size_t width)
    {
        std::string cut = CutSettingsText(text, width);
        fBytes += cut;
        fBytes.append(width - cut.size(), '\0');
    }
    // Bytes kept exactly as they were read.
    void Raw(std::string_view bytes) { fBytes += bytes; }

    const std::string& Bytes() const { return fBytes; }

private:
    std::string fBytes;
};

// Reads fields from a block in order. The caller checks the block's length
// before reading; reading past the end yields zeros rather than garbage.
class ByteFieldReader {
public:
    explicit ByteFieldReader(std::string_view bytes) : fBytes(bytes) {}

    uint32_t UInt32()
    {
        uint32_t high = UInt16();
        return (high << 16) | UInt16();
    }
    uint16_t UInt16()
    {
        uint16_t high = UInt8();
        return uint16_t((high << 8) | UInt8());
    }
    uint8_t UInt8()
    {
        size_t offset = fOffset++;
        return offset < fBytes.size() ? uint8_t(fBytes[offset]) : 0;
    }
    // The text up to its first NUL, at most width - 1 bytes of it.
    std::string Text(size_t width)
    {
        std::string_view field = Raw(width);
        return CutSettingsText(field.substr(0, field.find('\0')), width);
    }
    std::string_view Raw(size_t width)
    {
        size_t start = std::min(fOffset, fBytes.size());
        fOffset += width;
        return fBytes.substr(start, std::min(width, fBytes.size() - start));
    }

private:
    std::string_view fBytes;
    size_t fOffset = 0;
};
