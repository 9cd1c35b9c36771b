#pragma once

#include <cstdint>

class QCheckBox;

// With temperature compensation on (flag 0x0800), the detector switches PIR
// noise reduction itself: the two boxes only show its choice and say so.
// Shown from the configuration record and again with every live status.
void ApplyNoiseReductionMode(QCheckBox* noisePir1, QCheckBox* noisePir2, std::uint16_t configFlags);
