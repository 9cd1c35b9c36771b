#pragma once

#include <array>
#include <cstdint>

// The detector's configuration as held in memory and in files: 44 bytes,
// every byte kept exactly as the detector sent it (no byte swapping). The
// accessors decode a field in the byte order the detector uses for it.
struct DetectorConfig {
    static constexpr int Size = 44;
    std::array<std::uint8_t, Size> Bytes{};

    // Detection channels, each a 6-byte block (the last byte a pad).
    enum Channel : int { ChannelMw = 0, ChannelPir1 = 1, ChannelPir2 = 2 };
    static constexpr int ChannelCount = 3;
    static constexpr int ChannelOffset(int channel) { return 6 * channel; }

    // Output relays, each a 5-byte block from byte 28 on; index 0 is Out #1.
    static constexpr int OutputCount = 3;
    static constexpr int OutputOffset(int output) { return 28 + 5 * output; }

    // Range threshold, high byte first.
    std::uint16_t TRange(int channel) const { return Be16(ChannelOffset(channel)); }
    std::uint8_t Tconv(int channel) const { return Bytes[ChannelOffset(channel) + 2]; }
    std::uint8_t Nconv(int channel) const { return Bytes[ChannelOffset(channel) + 3]; }
    std::uint8_t NPulse(int channel) const { return Bytes[ChannelOffset(channel) + 4]; }

    // The PWM words arrive low byte first (a write frame sends them the other
    // way round, from the scroll bars).
    std::uint16_t PwmDc() const { return Le16(18); }
    std::uint16_t PwmFq() const { return Le16(20); }

    // Flag word at bytes 22-23, low byte first.
    std::uint16_t ConfigFlags() const {
        return static_cast<std::uint16_t>(Bytes[22] | (Bytes[23] << 8));
    }

    // "Time And" window in milliseconds, high byte first.
    std::uint16_t TimeAnd(int output) const { return Be16(OutputOffset(output)); }
    void SetTimeAnd(int output, std::uint16_t milliseconds) {
        Bytes[OutputOffset(output)] = static_cast<std::uint8_t>(milliseconds >> 8);
        Bytes[OutputOffset(output) + 1] = static_cast<std::uint8_t>(milliseconds & 0xFF);
    }
    std::uint8_t Function(int output) const { return Bytes[OutputOffset(output) + 2]; }
    std::uint8_t OutAux(int output) const { return Bytes[OutputOffset(output) + 3]; }
    std::uint8_t OutFlags(int output) const { return Bytes[OutputOffset(output) + 4]; }
    // Sets or clears one bit of an output's flag byte, leaving the others.
    void SetOutFlag(int output, std::uint8_t bit, bool on) {
        std::uint8_t& flags = Bytes[OutputOffset(output) + 4];
        flags = static_cast<std::uint8_t>(on ? (flags | bit) : (flags & ~bit));
    }

private:
    std::uint16_t Be16(int at) const {
        return static_cast<std::uint16_t>((Bytes[at] << 8) | Bytes[at + 1]);
    }
    std::uint16_t Le16(int at) const {
        return static_cast<std::uint16_t>(Bytes[at] | (Bytes[at + 1] << 8));
    }
};

// ConfigFlags bits, each owned by one check box of the SETUP group.
inline constexpr std::uint16_t FlagEnMw = 0x0001;
inline constexpr std::uint16_t FlagEnPir1 = 0x0002;
inline constexpr std::uint16_t FlagEnPir2 = 0x0004;
inline constexpr std::uint16_t FlagEnMask = 0x0008;
inline constexpr std::uint16_t FlagEnAcc = 0x0010;
inline constexpr std::uint16_t FlagEnTamper = 0x0040;
inline constexpr std::uint16_t FlagEnLed = 0x0080;
inline constexpr std::uint16_t FlagNoiseMw = 0x0100;
inline constexpr std::uint16_t FlagNoisePir1 = 0x0200;
inline constexpr std::uint16_t FlagNoisePir2 = 0x0400;
// Temperature compensation; while set, the PIR noise-reduction boxes are
// under the detector's control.
inline constexpr std::uint16_t FlagTempComp = 0x0800;
// Write frames only: the detector keeps the written configuration in flash.
inline constexpr std::uint16_t FlagStoreToFlash = 0x4000;
inline constexpr std::uint16_t FlagAutoTest = 0x8000;

// The bits a write frame may carry; 0x0020, 0x1000 and 0x2000 never go out.
inline constexpr std::uint16_t WritableFlags =
    FlagEnMw | FlagEnPir1 | FlagEnPir2 | FlagEnMask | FlagEnAcc | FlagEnTamper | FlagEnLed |
    FlagNoiseMw | FlagNoisePir1 | FlagNoisePir2 | FlagTempComp | FlagStoreToFlash | FlagAutoTest;

// OutFlags bits of one output. Bits 0x20-0x80 are carried as received.
inline constexpr std::uint8_t OutEnable = 0x01;
inline constexpr std::uint8_t OutMw = 0x02;
inline constexpr std::uint8_t OutPir1 = 0x04;
inline constexpr std::uint8_t OutPir2 = 0x08;
inline constexpr std::uint8_t OutNormallyOpen = 0x10;

// Output function codes, the item indexes of the function radio groups.
inline constexpr int FunctionAnd = 0;
inline constexpr int FunctionOr = 1;
inline constexpr int FunctionAutoOr = 2;
inline constexpr int FunctionMask = 3;
inline constexpr int FunctionAutoTest = 4;
