#include "SimConfig.h"

#include <cstdio>

namespace sim {

namespace {

std::uint16_t HighFirst(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

std::uint16_t LowFirst(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

void PutHighFirst(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v & 0xFF);
}

void PutLowFirst(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v & 0xFF);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

ChannelSettings ReadChannel(const std::uint8_t* p) {
    return {HighFirst(p), p[2], p[3], p[4]};
}

void WriteChannel(std::uint8_t* p, const ChannelSettings& c) {
    PutHighFirst(p, c.TRange);
    p[2] = c.Tconv;
    p[3] = c.Nconv;
    p[4] = c.NPulse;
}

// The two wire forms share everything but the order of the PWM words.
SimConfig Decode(const std::uint8_t* p, bool pwmHighFirst) {
    SimConfig c;
    c.Mw = ReadChannel(p);
    c.Pir1 = ReadChannel(p + 5);
    c.Pir2 = ReadChannel(p + 10);
    c.PwmDc = pwmHighFirst ? HighFirst(p + 15) : LowFirst(p + 15);
    c.PwmFq = pwmHighFirst ? HighFirst(p + 17) : LowFirst(p + 17);
    c.Flags = LowFirst(p + 19);
    for (int i = 0; i < 4; ++i)
        c.Reserved[i] = p[21 + i];
    for (int n = 0; n < 3; ++n) {
        const std::uint8_t* o = p + 25 + 5 * n;
        c.Outputs[n] = {HighFirst(o), o[2], o[3], o[4]};
    }
    return c;
}

SimConfig::Payload Encode(const SimConfig& c, bool pwmHighFirst) {
    SimConfig::Payload p{};
    WriteChannel(&p[0], c.Mw);
    WriteChannel(&p[5], c.Pir1);
    WriteChannel(&p[10], c.Pir2);
    if (pwmHighFirst) {
        PutHighFirst(&p[15], c.PwmDc);
        PutHighFirst(&p[17], c.PwmFq);
    } else {
        PutLowFirst(&p[15], c.PwmDc);
        PutLowFirst(&p[17], c.PwmFq);
    }
    PutLowFirst(&p[19], c.Flags);
    for (int i = 0; i < 4; ++i)
        p[21 + i] = c.Reserved[i];
    for (int n = 0; n < 3; ++n) {
        std::uint8_t* o = &p[25 + 5 * n];
        const OutputSettings& out = c.Outputs[n];
        PutHighFirst(o, out.TimeAndMs);
        o[2] = out.Function;
        o[3] = out.Aux;
        o[4] = out.Flags;
    }
    return p;
}

// Payload pieces and where they sit in the 44-byte record: the three channel
// blocks are followed by a pad byte each, the outputs by one more.
struct Piece {
    int payload;
    int record;
    int length;
};
constexpr Piece RecordPieces[] = {{0, 0, 5}, {5, 6, 5}, {10, 12, 5}, {15, 18, 10}, {25, 28, 15}};

const char* FunctionName(std::uint8_t f) {
    switch (f) {
    case FuncAnd:
        return "AND";
    case FuncOr:
        return "OR";
    case FuncAutoOr:
        return "AUTO-OR";
    case FuncMask:
        return "MASK";
    case FuncAutoTest:
        return "AUTO-TEST";
    default:
        return "?";
    }
}

} // namespace

SimConfig SimConfig::Defaults() {
    SimConfig c;
    c.Mw = {200, 10, 3, 2};
    c.Pir1 = {300, 12, 4, 2};
    c.Pir2 = {280, 12, 4, 2};
    c.PwmDc = 160;  // 10 %
    c.PwmFq = 1600; // 10 kHz
    c.Flags =
        FlagEnMw | FlagEnPir1 | FlagEnPir2 | FlagEnAcc | FlagEnTamper | FlagEnLed | FlagAutoTest;
    c.Outputs[0] = {3000, FuncAnd, 0, OutEnable | OutMw | OutPir1 | OutPir2};
    c.Outputs[1] = {2000, FuncOr, 0, OutEnable | OutPir1 | OutPir2};
    c.Outputs[2] = {1000, FuncAutoTest, 0, OutEnable | OutNormallyOpen};
    return c;
}

SimConfig SimConfig::FromWriteBody(const std::uint8_t* body, bool* storeRequested) {
    SimConfig c = Decode(body, true);
    if (storeRequested)
        *storeRequested = (c.Flags & FlagStoreToFlash) != 0;
    c.Flags &= static_cast<std::uint16_t>(~FlagStoreToFlash);
    return c;
}

SimConfig::Payload SimConfig::WriteBody() const {
    return Encode(*this, true);
}

SimConfig::Payload SimConfig::ReportPayload() const {
    return Encode(*this, false);
}

SimConfig::Record SimConfig::ToRecord() const {
    const Payload p = ReportPayload();
    Record r{};
    for (const Piece& piece : RecordPieces)
        for (int i = 0; i < piece.length; ++i)
            r[piece.record + i] = p[piece.payload + i];
    return r;
}

SimConfig SimConfig::FromRecord(const Record& r) {
    Payload p{};
    for (const Piece& piece : RecordPieces)
        for (int i = 0; i < piece.length; ++i)
            p[piece.payload + i] = r[piece.record + i];
    return Decode(p.data(), false);
}

std::string SimConfig::Describe() const {
    char text[400];
    std::snprintf(text, sizeof text,
                  "MW %u/%u/%u/%u PIR1 %u/%u/%u/%u PIR2 %u/%u/%u/%u PWM %u/%u flags 0x%04X "
                  "out1 %s %ums 0x%02X out2 %s %ums 0x%02X out3 %s %ums 0x%02X",
                  Mw.TRange, Mw.Tconv, Mw.Nconv, Mw.NPulse, Pir1.TRange, Pir1.Tconv, Pir1.Nconv,
                  Pir1.NPulse, Pir2.TRange, Pir2.Tconv, Pir2.Nconv, Pir2.NPulse, PwmDc, PwmFq,
                  Flags, FunctionName(Outputs[0].Function), Outputs[0].TimeAndMs, Outputs[0].Flags,
                  FunctionName(Outputs[1].Function), Outputs[1].TimeAndMs, Outputs[1].Flags,
                  FunctionName(Outputs[2].Function), Outputs[2].TimeAndMs, Outputs[2].Flags);
    return text;
}

} // namespace sim
