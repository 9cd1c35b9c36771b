#pragma once

#include <array>
#include <cstdint>
#include <string>

// The detector's own copy of its configuration, decoded into numbers so the
// scene can use the thresholds and output logic. On the wire it travels in two
// forms that differ only in the PWM words: a configuration write carries them
// high byte first, report 9 low byte first. Every other 16-bit field keeps one
// order both ways (thresholds and Time AND high byte first, the flag word low
// byte first).
namespace sim {

inline constexpr int ConfigPayloadLength = 40;
inline constexpr int ConfigRecordLength = 44;

// Flag word bits.
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
inline constexpr std::uint16_t FlagTempComp = 0x0800;
inline constexpr std::uint16_t FlagStoreToFlash = 0x4000;
inline constexpr std::uint16_t FlagAutoTest = 0x8000;

// Output flag bits and function codes.
inline constexpr std::uint8_t OutEnable = 0x01;
inline constexpr std::uint8_t OutMw = 0x02;
inline constexpr std::uint8_t OutPir1 = 0x04;
inline constexpr std::uint8_t OutPir2 = 0x08;
inline constexpr std::uint8_t OutNormallyOpen = 0x10;
enum OutputFunction : std::uint8_t {
    FuncAnd = 0,
    FuncOr = 1,
    FuncAutoOr = 2,
    FuncMask = 3,
    FuncAutoTest = 4
};

struct ChannelSettings {
    std::uint16_t TRange = 0;
    std::uint8_t Tconv = 0;
    std::uint8_t Nconv = 0;
    std::uint8_t NPulse = 0;
    bool operator==(const ChannelSettings&) const = default;
};

struct OutputSettings {
    std::uint16_t TimeAndMs = 0;
    std::uint8_t Function = 0;
    std::uint8_t Aux = 0;
    std::uint8_t Flags = 0;
    bool operator==(const OutputSettings&) const = default;
};

struct SimConfig {
    using Payload = std::array<std::uint8_t, ConfigPayloadLength>;
    using Record = std::array<std::uint8_t, ConfigRecordLength>;

    ChannelSettings Mw;
    ChannelSettings Pir1;
    ChannelSettings Pir2;
    std::uint16_t PwmDc = 0;
    std::uint16_t PwmFq = 0;
    std::uint16_t Flags = 0;
    std::array<std::uint8_t, 4> Reserved{};
    std::array<OutputSettings, 3> Outputs{};

    bool operator==(const SimConfig&) const = default;

    // What a detector fresh from the factory holds: every value inside the
    // configuration tool's control ranges, Time AND in whole seconds.
    static SimConfig Defaults();

    // Decodes the 40-byte body of a configuration write. The store-to-flash
    // bit is a request, not a setting: it is taken out of Flags and returned
    // through `storeRequested`.
    static SimConfig FromWriteBody(const std::uint8_t* body, bool* storeRequested);

    // The body a tool would write to set this configuration (PWM high byte first).
    Payload WriteBody() const;

    // The payload of report 9 (PWM low byte first).
    Payload ReportPayload() const;

    // The 44-byte record kept in the state file: the report payload with a
    // zero pad byte after each channel block and after the outputs, the same
    // layout as the configuration tool's ".bin" files.
    Record ToRecord() const;
    static SimConfig FromRecord(const Record& record);

    // One line for the log.
    std::string Describe() const;
};

} // namespace sim
