#pragma once

#include <array>
#include <cstdint>

// The detector's log of its last ten alarm and fault events, newest first.
namespace sim {

inline constexpr int EventCount = 10;
inline constexpr int EventRecordLength = 22;
inline constexpr int EventLogLength = EventCount * EventRecordLength;

// Event flag bits (one event usually sets one or a few).
inline constexpr std::uint16_t EvMw = 0x0001;
inline constexpr std::uint16_t EvUpPir = 0x0002;
inline constexpr std::uint16_t EvDownPir = 0x0004;
inline constexpr std::uint16_t EvMask = 0x0008;
inline constexpr std::uint16_t EvGenAlarm = 0x0040;
inline constexpr std::uint16_t EvTamper = 0x0100;
inline constexpr std::uint16_t EvNtc = 0x0400;
inline constexpr std::uint16_t EvLowPower = 0x0800;
inline constexpr std::uint16_t EvFailMw = 0x1000;
inline constexpr std::uint16_t EvNone = 0x8000; // a walk-through that raised nothing

struct EventRecord {
    std::uint16_t Flags = 0;
    std::uint16_t MaxMw = 0;
    std::uint16_t MaxPirAbove = 0;
    std::uint16_t MaxPirUnder = 0;
    std::uint16_t MaxMask1 = 0;
    std::uint16_t MaxMask2 = 0;
    std::uint16_t NoiseIr1 = 0;
    std::uint16_t NoiseIr2 = 0;
    std::int16_t Ntc = 0;
    std::uint16_t Aux = 0;
};

class EventLog {
public:
    // A log as a detector that has been in the field for a while would hold.
    static EventLog Plausible();

    // Puts `record` first; the oldest falls off the end.
    void Push(const EventRecord& record);
    const EventRecord& At(int index) const { return records_[index]; }

    // Report 12 payload: flags low byte first, every other word high byte first.
    std::array<std::uint8_t, EventLogLength> Payload() const;

private:
    std::array<EventRecord, EventCount> records_{};
};

} // namespace sim
