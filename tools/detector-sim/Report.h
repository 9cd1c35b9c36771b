#pragma once

#include "Fault.h"
#include "SimConfig.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Frames sent by the detector: 02 00 LEN type payload checksum 03, where LEN
// counts the payload alone and the checksum covers the payload alone.
namespace sim {

std::vector<std::uint8_t> BuildReport(std::uint8_t type, const std::uint8_t* payload,
                                      std::size_t length);

// Bends a well-formed report the way `mode` asks; modes that only change
// timing or which requests are answered leave it as it is. Type 7 answers
// carry the PWM words of `config`, low byte first.
std::vector<std::uint8_t> ApplyFault(FaultMode mode, std::vector<std::uint8_t> report,
                                     const SimConfig& config);

} // namespace sim
