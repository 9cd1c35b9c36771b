#include "Fault.h"

#include <array>
#include <utility>

namespace sim {

namespace {

constexpr std::array<std::pair<FaultMode, std::string_view>, 12> Names{{
    {FaultMode::None, "none"},
    {FaultMode::Silent, "silent"},
    {FaultMode::BadChecksum, "bad-checksum"},
    {FaultMode::ChecksumWithType, "checksum-with-type"},
    {FaultMode::Short, "short"},
    {FaultMode::Surplus, "surplus"},
    {FaultMode::Trickle, "trickle"},
    {FaultMode::EveryNth, "every-nth"},
    {FaultMode::Type7, "type7"},
    {FaultMode::Type11, "type11"},
    {FaultMode::Type9, "type9"},
    {FaultMode::Hangup, "hangup"},
}};

} // namespace

std::optional<FaultMode> ParseFaultMode(std::string_view name) {
    for (const auto& [mode, text] : Names)
        if (text == name)
            return mode;
    return std::nullopt;
}

std::string_view FaultModeName(FaultMode mode) {
    for (const auto& [m, text] : Names)
        if (m == mode)
            return text;
    return "?";
}

} // namespace sim
