#pragma once

#include "Command.h"
#include "DetectorConfig.h"

#include <array>
#include <cstdint>

// What the configuration controls hold at the moment a write is built. The
// view fills it from its widgets; the frame rules below need no widgets.
struct ConfigControlValues {
    struct Channel {
        int TRange = 0; // the value the track bar shows: Max + Min - Position
        int Tconv = 0;
        int Nconv = 0;
        int NPulse = 0;
    };
    std::array<Channel, DetectorConfig::ChannelCount> Channels{};
    int PwmDc = 0; // scroll bar positions
    int PwmFq = 0;
    std::uint16_t CheckedFlags = 0; // bits of the ticked SETUP check boxes
    // Item indexes of the function radio groups; -1 while none is selected.
    std::array<int, DetectorConfig::OutputCount> Functions{-1, -1, -1};
};

using ConfigWriteBody = std::array<std::uint8_t, Command::ConfigBodyLength>;

// The 40-byte body of a configuration write. Channels, PWM and flags come from
// the controls; each output's Time And, OutAux and OutFlags come from the
// record, which the output controls edit in place, and its function from the
// radio group (low byte of the index, so no selection sends 0xFF). The
// reserved bytes always go out as zeros.
ConfigWriteBody MakeConfigWriteBody(const ConfigControlValues& controls,
                                    const DetectorConfig& config, std::uint16_t extraFlags);

// The whole 46-byte frame: the body inside the configuration-write envelope.
Command::ConfigWriteFrame MakeConfigWriteFrame(const ConfigControlValues& controls,
                                               const DetectorConfig& config,
                                               std::uint16_t extraFlags);
