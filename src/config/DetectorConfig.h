#pragma once

#include <array>
#include <cstdint>

// The detector's configuration as held in memory and in files: 44 bytes,
// every byte kept exactly as the detector sent it (no byte swapping).
struct DetectorConfig {
    static constexpr int Size = 44;
    std::array<std::uint8_t, Size> Bytes{};

    // Flag word at bytes 22-23, low byte first.
    std::uint16_t ConfigFlags() const {
        return static_cast<std::uint16_t>(Bytes[22] | (Bytes[23] << 8));
    }
};

// Temperature compensation; while set, the PIR noise-reduction boxes are
// under the detector's control.
inline constexpr std::uint16_t FlagTempComp = 0x0800;
