#include "LiveStatus.h"

#include <cmath>

void UnpackFlags(std::uint16_t word, FlagSet& target) {
    for (int n = 0; n < 16; ++n)
        target[n] = ((word >> n) & 1) != 0;
}

std::int32_t TraceRow(std::int32_t baseRow, std::uint16_t level) {
    return baseRow - static_cast<std::int32_t>(std::lrint(level / 10.0));
}

std::int32_t ReferenceRow(std::uint16_t refLevel, std::int32_t offset) {
    return static_cast<std::int32_t>(std::lrint((810 - refLevel) / 10.0)) + offset;
}

bool AlarmActive(const FlagSet& detect, const FlagSet& device) {
    return device[DeviceFlag::Out1] || device[DeviceFlag::Out2] || device[DeviceFlag::Out3] ||
           detect[DetectFlag::Tamper] || detect[DetectFlag::Acc1] || detect[DetectFlag::Acc2];
}
