#include "LensPresets.h"

namespace {

constexpr LensPreset Presets[LensCount] = {
    {{1, 50}, {1, 50}, {10, 700}, false, 0, 0, 0},    // User
    {{8, 22}, {8, 12}, {200, 440}, true, 10, 8, 380}, // Angle
    {{8, 27}, {8, 12}, {100, 440}, true, 10, 8, 380}, // Horizontal Curtain
    {{8, 30}, {8, 12}, {100, 440}, true, 10, 8, 380}, // Vertical Curtain
};

} // namespace

const LensPreset* FindLensPreset(int itemIndex) {
    if (itemIndex < 0 || itemIndex >= LensCount)
        return nullptr;
    return &Presets[itemIndex];
}
