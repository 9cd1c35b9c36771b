#include "EventLog.h"

#include <algorithm>

namespace sim {

EventLog EventLog::Plausible() {
    EventLog log;
    log.records_ = {{
        {EvMw | EvUpPir | EvGenAlarm, 412, 388, 140, 126, 118, 31, 44, 21, 0},
        {EvUpPir, 96, 342, 120, 122, 117, 28, 40, 20, 0},
        {EvDownPir | EvGenAlarm, 88, 150, 331, 119, 121, 30, 39, 19, 0},
        {EvNtc, 0, 0, 0, 0, 0, 0, 0, 47, 0},
        {EvMw, 276, 110, 98, 120, 115, 27, 36, 23, 0},
        {EvFailMw, 0, 0, 0, 0, 0, 0, 0, 22, 0},
        {EvTamper, 0, 0, 0, 0, 0, 0, 0, 22, 0},
        {EvMw | EvUpPir | EvDownPir | EvGenAlarm, 455, 503, 470, 133, 129, 35, 52, 18, 0},
        {EvLowPower, 0, 0, 0, 0, 0, 0, 0, 15, 0},
        {EvMask, 60, 72, 70, 690, 240, 88, 104, 16, 0},
    }};
    return log;
}

void EventLog::Push(const EventRecord& record) {
    std::shift_right(records_.begin(), records_.end(), 1);
    records_[0] = record;
}

std::array<std::uint8_t, EventLogLength> EventLog::Payload() const {
    std::array<std::uint8_t, EventLogLength> p{};
    for (int k = 0; k < EventCount; ++k) {
        const EventRecord& r = records_[k];
        std::uint8_t* o = &p[k * EventRecordLength];
        o[0] = static_cast<std::uint8_t>(r.Flags & 0xFF);
        o[1] = static_cast<std::uint8_t>(r.Flags >> 8);
        const std::uint16_t words[] = {
            r.MaxMw,    r.MaxPirAbove, r.MaxPirUnder, r.MaxMask1,
            r.MaxMask2, r.NoiseIr1,    r.NoiseIr2,    static_cast<std::uint16_t>(r.Ntc),
            r.Aux};
        for (int w = 0; w < 9; ++w) {
            o[2 + 2 * w] = static_cast<std::uint8_t>(words[w] >> 8);
            o[3 + 2 * w] = static_cast<std::uint8_t>(words[w] & 0xFF);
        }
        // the last word is reserved and stays zero
    }
    return p;
}

} // namespace sim
