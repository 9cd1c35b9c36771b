#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A walk played step by step: each step holds a set of detection and device
// flags for a time, so that a walk test sees exactly the events a person
// expects ("mw:800 quiet:500 pir2+out1:1200 quiet:500 tamper:600").
namespace sim {

struct WalkStep {
    std::uint16_t Detect = 0;
    std::uint16_t Device = 0;
    int Ms = 0;
};

// The walk a new user is shown: MW, then Pir Down Under with Out #1, then
// the tamper, with quiet between.
extern const char* const DefaultWalkScript;

// Steps NAME[+NAME...]:MS separated by blanks; the names are mw, pir1, pir2,
// mask1, mask2, tamper, noise1, noise2, out1, out2, out3, power, mwfault,
// pir1fault, pir2fault, cpufault, autotest and quiet (no flag). MS is 1 to
// 600000. Sets `error` and gives nothing on anything else.
std::optional<std::vector<WalkStep>> ParseWalkScript(std::string_view text, std::string& error);

} // namespace sim
