#pragma once

#include "Command.h"

#include <cstdint>
#include <vector>

// Frames as the tool sends them, for the detector-sim tests.
namespace sim_test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Request(std::uint8_t code) {
    Command::LinkBuffers b;
    b.SelectRequest(code);
    return Bytes(b.PollRequest.begin(), b.PollRequest.end());
}

} // namespace sim_test
