#pragma once

#include "LiveStatus.h"

#include <QString>
#include <QStringList>

#include <vector>

// A live status in words, for documents: each reading as its readout on the
// VIEW page shows it, and the lamps that are lit, by name.

struct LiveReading {
    QString Name;
    QString Value;
};

// Levels of the three channels (the direct levels when `direct`), the mask
// and mask-noise levels, the temperature (shown only while the detector
// compensates for it) and the tamper readings X, Y, Z.
std::vector<LiveReading> LiveReadingTexts(const LiveStatus& status, bool direct,
                                          bool temperatureCompensated);

// Names of the lamps the status lights, in the order the window sets them:
// detections, masks, tamper, the 24-hour test and its faults, then outputs.
QStringList LitLampNames(const FlagSet& detect, const FlagSet& device);
