#include "ConfigWriteFrame.h"

namespace {

std::uint8_t LowByte(int value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}
std::uint8_t HighByte(int value) {
    return static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

} // namespace

ConfigWriteBody MakeConfigWriteBody(const ConfigControlValues& controls,
                                    const DetectorConfig& config, std::uint16_t extraFlags) {
    ConfigWriteBody body{};
    int at = 0;
    for (const ConfigControlValues::Channel& channel : controls.Channels) {
        const auto range = static_cast<std::uint16_t>(channel.TRange);
        body[at++] = HighByte(range);
        body[at++] = LowByte(range);
        body[at++] = LowByte(channel.Tconv);
        body[at++] = LowByte(channel.Nconv);
        body[at++] = LowByte(channel.NPulse);
    }
    // The detector takes the PWM words high byte first, unlike report 9.
    body[at++] = HighByte(controls.PwmDc);
    body[at++] = LowByte(controls.PwmDc);
    body[at++] = HighByte(controls.PwmFq);
    body[at++] = LowByte(controls.PwmFq);

    const std::uint16_t flags = (extraFlags | controls.CheckedFlags) & WritableFlags;
    body[at++] = LowByte(flags);
    body[at++] = HighByte(flags);
    at += 4; // reserved: zeros

    for (int output = 0; output < DetectorConfig::OutputCount; ++output) {
        const int record = DetectorConfig::OutputOffset(output);
        body[at++] = config.Bytes[record];
        body[at++] = config.Bytes[record + 1];
        body[at++] = LowByte(controls.Functions[output]);
        body[at++] = config.Bytes[record + 3];
        body[at++] = config.Bytes[record + 4];
    }
    return body;
}

Command::ConfigWriteFrame MakeConfigWriteFrame(const ConfigControlValues& controls,
                                               const DetectorConfig& config,
                                               std::uint16_t extraFlags) {
    const ConfigWriteBody body = MakeConfigWriteBody(controls, config, extraFlags);
    Command::ConfigWriteFrame frame{};
    Command::WrapConfigWrite(frame, body.data());
    return frame;
}
