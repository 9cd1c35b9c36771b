#pragma once

#include <array>
#include <cstdint>

// The detector's live status, the payload of report 8.
namespace sim {

inline constexpr int LiveStatusLength = 58;

// Detection flags.
inline constexpr std::uint16_t DetMw = 1u << 0;
inline constexpr std::uint16_t DetPir1 = 1u << 2;
inline constexpr std::uint16_t DetPir2 = 1u << 4;
inline constexpr std::uint16_t DetMask1 = 1u << 7;
inline constexpr std::uint16_t DetMask2 = 1u << 8;
inline constexpr std::uint16_t DetTamper = 1u << 11;

// Device flags.
inline constexpr std::uint16_t DevOut1 = 1u << 0; // Out2, Out3 follow
inline constexpr std::uint16_t DevNoisePir1 = 1u << 4;
inline constexpr std::uint16_t DevNoisePir2 = 1u << 5;
inline constexpr std::uint16_t DevAutoTestRunning = 1u << 14;

struct LiveStatus {
    std::uint16_t MwLevel = 0;
    std::uint16_t MwRangeLevel = 0;
    std::uint16_t MwDirectLevel = 0;
    std::uint16_t Pir1Level = 0;
    std::uint16_t Pir1RangeLevel = 0;
    std::uint16_t Pir1DirectLevel = 0;
    std::uint16_t Pir2Level = 0;
    std::uint16_t Pir2RangeLevel = 0;
    std::uint16_t Pir2DirectLevel = 0;
    std::uint16_t MaskLevel = 0;
    std::uint16_t Acc1Level = 0;
    std::uint16_t Acc2Level = 0;
    std::uint16_t Acc1Noise = 0;
    std::uint16_t Acc2Noise = 0;
    std::int16_t Temperature = 0;
    std::uint16_t Pir1RefLevel = 0;
    std::uint16_t Pir2RefLevel = 0;
    std::uint16_t MwRefLevel = 0;
    std::uint16_t DetectFlags = 0;
    std::uint16_t DeviceFlags = 0;
    std::int8_t AccX = 0;
    std::int8_t AccY = 0;
    std::int8_t AccZ = 0;
};

// Levels high byte first, the two flag words low byte first, the tamper
// readings as single signed bytes; reserved bytes zero.
std::array<std::uint8_t, LiveStatusLength> EncodeLiveStatus(const LiveStatus& s);

} // namespace sim
