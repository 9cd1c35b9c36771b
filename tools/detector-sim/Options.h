#pragma once

#include "Detector.h"
#include "Fault.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Command line of detector-sim.
namespace sim {

struct SimOptions {
    std::string linkPath = "/tmp/ttyVD0";
    std::string statePath; // empty: DefaultStatePath()
    Timing timing;
    FaultSettings fault;
    std::optional<std::uint32_t> seed;
    int walkEverySec = 20;
    std::string playScript; // a walk played each time the tool opens the port
    std::string replayPath; // empty: the simulated scene
    bool loop = false;      // with a replay: start a used-up kind over
    bool help = false;
};

struct OptionsResult {
    SimOptions options;
    std::string error; // empty when the command line was understood
};

// `args` excludes the program name. Options take their value as the next
// argument or after '=' (--link=/tmp/x).
OptionsResult ParseOptions(const std::vector<std::string>& args);

// $XDG_STATE_HOME/detector-sim/config.bin, else ~/.local/state/detector-sim/config.bin,
// else config.bin in the working folder. Either argument may be null.
std::string DefaultStatePath(const char* xdgStateHome, const char* home);

// A whole decimal number within [min, max], nothing else.
std::optional<int> ParseNumber(std::string_view text, int min, int max);

extern const char* const UsageText;

} // namespace sim
