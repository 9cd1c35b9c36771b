#pragma once

#include "Detector.h"

#include <string>
#include <string_view>

// The control channel: one command per line on standard input, so a test or
// a person can change the detector's behaviour while the tool stays connected.
namespace sim {

struct ControlOutcome {
    std::string reply; // "ok ..." or "error: ...", empty for a blank line
    bool hangUpNow = false;
    bool quit = false;
};

ControlOutcome ApplyControl(std::string_view line, Detector& detector);

} // namespace sim
