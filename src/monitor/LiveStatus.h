#pragma once

#include <array>
#include <cstdint>

// The detector's live status: the 58-byte payload of report 8, kept as
// received. Numbers are read on demand in their wire byte order: 16-bit
// values high byte first, the two flag words low byte first, the tamper
// readings single signed bytes.
struct LiveStatus {
    static constexpr int Size = 58;
    std::array<std::uint8_t, Size> Bytes{};

    std::uint16_t MwLevel() const { return U16(0); }
    std::uint16_t MwRangeLevel() const { return U16(2); }
    std::uint16_t MwDirectLevel() const { return U16(4); }
    std::uint16_t Pir1Level() const { return U16(6); }
    std::uint16_t Pir1RangeLevel() const { return U16(8); }
    std::uint16_t Pir1DirectLevel() const { return U16(10); }
    std::uint16_t Pir2Level() const { return U16(12); }
    std::uint16_t Pir2RangeLevel() const { return U16(14); }
    std::uint16_t Pir2DirectLevel() const { return U16(16); }
    std::uint16_t MaskLevel() const { return U16(18); }
    std::uint16_t Acc1Level() const { return U16(28); }
    std::uint16_t Acc2Level() const { return U16(30); }
    std::uint16_t Acc1Noise() const { return U16(32); }
    std::uint16_t Acc2Noise() const { return U16(34); }
    std::int16_t Temperature() const { return static_cast<std::int16_t>(U16(38)); }
    std::uint16_t Pir1RefLevel() const { return U16(42); }
    std::uint16_t Pir2RefLevel() const { return U16(44); }
    std::uint16_t MwRefLevel() const { return U16(46); }
    std::uint16_t DetectFlags() const { return Flags(48); }
    std::uint16_t DeviceFlags() const { return Flags(50); }
    std::int8_t AccX() const { return static_cast<std::int8_t>(Bytes[52]); }
    std::int8_t AccY() const { return static_cast<std::int8_t>(Bytes[54]); }
    std::int8_t AccZ() const { return static_cast<std::int8_t>(Bytes[56]); }

private:
    std::uint16_t U16(int at) const {
        return static_cast<std::uint16_t>((Bytes[at] << 8) | Bytes[at + 1]);
    }
    std::uint16_t Flags(int at) const {
        return static_cast<std::uint16_t>(Bytes[at] | (Bytes[at + 1] << 8));
    }
};

using FlagSet = std::array<bool, 16>;

// Element n of `target` becomes bit n of `word`.
void UnpackFlags(std::uint16_t word, FlagSet& target);

// DetectFlags bits.
namespace DetectFlag {
inline constexpr int Mw = 0;
inline constexpr int Pir1 = 2;
inline constexpr int Pir2 = 4;
inline constexpr int Acc1 = 7;
inline constexpr int Acc2 = 8;
inline constexpr int Tamper = 11;
inline constexpr int Acc1Noise = 12;
inline constexpr int Acc2Noise = 13;
} // namespace DetectFlag

// DeviceFlags bits.
namespace DeviceFlag {
inline constexpr int Out1 = 0;
inline constexpr int Out2 = 1;
inline constexpr int Out3 = 2;
inline constexpr int NoisePir1 = 4;
inline constexpr int NoisePir2 = 5;
inline constexpr int PowerFail = 6;
inline constexpr int MwFault = 7;
inline constexpr int Pir1Fault = 8;
inline constexpr int Pir2Fault = 9;
inline constexpr int CpuFault = 10;
inline constexpr int DiagnosticOn = 14;
} // namespace DeviceFlag

// Row of a trace point for `level` on a band whose zero row is `baseRow`:
// one row per 10 of level, rounded half to even.
std::int32_t TraceRow(std::int32_t baseRow, std::uint16_t level);

// Row of a reference line: round((810 - level) / 10) + offset.
std::int32_t ReferenceRow(std::uint16_t refLevel, std::int32_t offset);

// Whether a status asks for the alarm sound: an output, the tamper or a mask
// channel active.
bool AlarmActive(const FlagSet& detect, const FlagSet& device);
