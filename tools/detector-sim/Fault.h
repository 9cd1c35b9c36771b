#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Ways the simulated detector can misbehave, for testing the tool's link.
namespace sim {

enum class FaultMode {
    None,
    Silent,           // the line is dead: nothing is answered, writes are not received
    BadChecksum,      // answers carry a wrong checksum
    ChecksumWithType, // the checksum also covers the report-type byte
    Short,            // answers stop half-way
    Surplus,          // extra bytes follow each answer
    Trickle,          // answer bytes come one by one with gaps
    EveryNth,         // only every n-th request is answered
    Type7,            // answers are type 7 (PWM values) at the requested length
    Type11,           // answers are type 11 (carries no data) at the requested length
    Type9,            // answers carry report type 9 whatever was asked (one flipped bit on 8)
    Hangup,           // the port goes away for a while after some requests
};

struct FaultSettings {
    FaultMode Mode = FaultMode::None;
    int Every = 2;        // every-nth: answer requests n, 2n, 3n...
    int TrickleMs = 5;    // trickle: gap before each byte
    int HangupAfter = 10; // hangup: requests answered before the port goes away
    int HangupMs = 1000;  // hangup: how long it stays away
};

std::optional<FaultMode> ParseFaultMode(std::string_view name);
std::string_view FaultModeName(FaultMode mode);

// Bytes appended to every answer in surplus mode. None is an STX, so a tool
// that leaves them in its input sees a frame that does not start with one.
inline constexpr std::uint8_t SurplusBytes[] = {0xA5, 0x5A, 0xFF};

} // namespace sim
