#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Bytes as upper-case hex digits, the form in which the Windows test program
// and its Linux peer host pass line data to each other. One definition for
// both ends, so that they cannot drift apart.
inline std::string Hex(const std::vector<std::uint8_t>& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (const std::uint8_t b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

// False (and `bytes` unspecified) on an odd length or a non-hex digit.
inline bool FromHex(const std::string& text, std::vector<std::uint8_t>& bytes) {
    if (text.size() % 2 != 0)
        return false;
    bytes.clear();
    for (std::size_t i = 0; i < text.size(); i += 2) {
        unsigned value = 0;
        if (std::sscanf(text.c_str() + i, "%2x", &value) != 1)
            return false;
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return true;
}
