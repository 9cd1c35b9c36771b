#include "LiveStatus.h"

namespace sim {

std::array<std::uint8_t, LiveStatusLength> EncodeLiveStatus(const LiveStatus& s) {
    std::array<std::uint8_t, LiveStatusLength> p{};
    auto be = [&p](int at, std::uint16_t v) {
        p[at] = static_cast<std::uint8_t>(v >> 8);
        p[at + 1] = static_cast<std::uint8_t>(v & 0xFF);
    };
    auto le = [&p](int at, std::uint16_t v) {
        p[at] = static_cast<std::uint8_t>(v & 0xFF);
        p[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    be(0, s.MwLevel);
    be(2, s.MwRangeLevel);
    be(4, s.MwDirectLevel);
    be(6, s.Pir1Level);
    be(8, s.Pir1RangeLevel);
    be(10, s.Pir1DirectLevel);
    be(12, s.Pir2Level);
    be(14, s.Pir2RangeLevel);
    be(16, s.Pir2DirectLevel);
    be(18, s.MaskLevel);
    be(28, s.Acc1Level);
    be(30, s.Acc2Level);
    be(32, s.Acc1Noise);
    be(34, s.Acc2Noise);
    be(38, static_cast<std::uint16_t>(s.Temperature));
    be(42, s.Pir1RefLevel);
    be(44, s.Pir2RefLevel);
    be(46, s.MwRefLevel);
    le(48, s.DetectFlags);
    le(50, s.DeviceFlags);
    p[52] = static_cast<std::uint8_t>(s.AccX);
    p[54] = static_cast<std::uint8_t>(s.AccY);
    p[56] = static_cast<std::uint8_t>(s.AccZ);
    return p;
}

} // namespace sim
