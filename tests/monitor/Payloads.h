#pragma once

#include "EventRecord.h"
#include "LiveStatus.h"

#include <array>
#include <cstdint>

// Builders of report payloads as the detector sends them.

inline void PutBE16(std::uint8_t* at, int value) {
    at[0] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    at[1] = static_cast<std::uint8_t>(value & 0xFF);
}

struct StatusPayload {
    std::array<std::uint8_t, LiveStatus::Size> Bytes{};

    StatusPayload& BE16(int offset, int value) {
        PutBE16(&Bytes[offset], value);
        return *this;
    }
    StatusPayload& Byte(int offset, std::uint8_t value) {
        Bytes[offset] = value;
        return *this;
    }
    // Flag words go low byte first.
    StatusPayload& DetectFlags(std::uint8_t low, std::uint8_t high) {
        Bytes[48] = low;
        Bytes[49] = high;
        return *this;
    }
    StatusPayload& DeviceFlags(std::uint8_t low, std::uint8_t high) {
        Bytes[50] = low;
        Bytes[51] = high;
        return *this;
    }
    const std::uint8_t* data() const { return Bytes.data(); }
};

// Offsets of the live status fields.
namespace At {
inline constexpr int MwLevel = 0, MwRangeLevel = 2, MwDirectLevel = 4, Pir1Level = 6,
                     Pir1RangeLevel = 8, Pir1DirectLevel = 10, Pir2Level = 12, Pir2RangeLevel = 14,
                     Pir2DirectLevel = 16, MaskLevel = 18, Acc1Level = 28, Acc2Level = 30,
                     Acc1Noise = 32, Acc2Noise = 34, Temperature = 38, Pir1RefLevel = 42,
                     Pir2RefLevel = 44, MwRefLevel = 46, AccX = 52, AccY = 54, AccZ = 56;
}

struct EventPayload {
    EventBuffer Bytes{};

    // Record k: flag bytes as sent, then words 1..10.
    EventPayload& Record(int k, std::uint8_t flagLow, std::uint8_t flagHigh,
                         std::array<int, 10> words) {
        std::uint8_t* r = &Bytes[static_cast<std::size_t>(k * EventRecord::Size)];
        r[0] = flagLow;
        r[1] = flagHigh;
        for (int w = 0; w < 10; ++w)
            PutBE16(r + 2 + 2 * w, words[static_cast<std::size_t>(w)]);
        return *this;
    }
    const std::uint8_t* data() const { return Bytes.data(); }
};
