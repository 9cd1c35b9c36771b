#pragma once

// Lens choices of the PIR channels. A lens narrows the speed (Tconv), rate
// (Nconv) and range-threshold controls of its channel to what suits it and
// moves them to a starting point; "User" opens the ranges wide again and
// leaves the positions where they are.
struct SliderRange {
    int Min;
    int Max;
};

struct LensPreset {
    SliderRange Tconv;
    SliderRange Nconv;
    SliderRange TRange;
    bool MovesPositions; // false for "User"
    int TconvPosition;
    int NconvPosition;
    int TRangeValue; // shown value, so Position = Max + Min - value
};

inline constexpr int LensCount = 4; // "User", "Angle", "Horizontal Curtain", "Vertical Curtain"

// The preset of a lens list's item index, or nullptr when no item (or an
// unknown one) is selected.
const LensPreset* FindLensPreset(int itemIndex);
