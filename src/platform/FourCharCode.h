// Four-character codes name message classes and IDs, resource types, agent
// creators and control signatures. They are packed big-endian into 32 bits,
// so 'Rssv' reads the same in a hex dump as in the code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

using FourCharCode = uint32_t;

constexpr FourCharCode MakeFourCharCode(const char (&code)[5])
{
    return (FourCharCode(uint8_t(code[0])) << 24) | (FourCharCode(uint8_t(code[1])) << 16) |
           (FourCharCode(uint8_t(code[2])) << 8) | FourCharCode(uint8_t(code[3]));
}

// Reads the first four bytes of `text`; anything shorter or longer is not a code.
inline bool ParseFourCharCode(std::string_view text, FourCharCode& code)
{
    if (text.size() != 4)
        return false;
    code = (FourCharCode(uint8_t(text[0])) << 24) | (FourCharCode(uint8_t(text[1])) << 16) |
           (FourCharCode(uint8_t(text[2])) << 8) | FourCharCode(uint8_t(text[3]));
    return true;
}

inline std::string FourCharCodeToString(FourCharCode code)
{
    return std::string{char(code >> 24), char(code >> 16), char(code >> 8), char(code)};
}
