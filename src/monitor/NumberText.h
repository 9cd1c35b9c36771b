#pragma once

#include <QString>

// A whole number in general format with at most four significant digits:
// the plain decimal integer below 10000 in magnitude, scientific notation
// beyond (such values do not come from the sensors).
QString GeneralNumberText(int value);

// A temperature in whole degrees Celsius, e.g. "-5°C".
QString CelsiusText(int value);

// The temperature readout: the temperature while the detector compensates
// for it, else "---".
QString TemperatureText(int value, bool compensated);
