#pragma once

#include "DetectorConfig.h"

#include <cstdint>

// Report 9 carries the record without its four pad bytes. The payload is
// copied into the record in five pieces (5, 5, 5, 10 and 15 bytes); the pads
// at record bytes 5, 11, 17 and 43 keep whatever they held, and no value is
// checked: the record shows exactly what the detector sent.
void UnpackConfigReport(DetectorConfig& config, const std::uint8_t* payload40);
