#pragma once

#include <QLocale>
#include <QString>

// Label texts of the microwave power PWM. Both use the user's thousands and
// decimal separators; tests pass a fixed locale.

// Duty in 1/16 %: "DC:  " + duty x 0.0625 with one decimal + " %  @10KHz".
QString PwmDutyLabel(int duty, const QLocale& locale = QLocale());

// Period count: 16 000 000 / count without decimals + " KHz"; a count of 0
// reads "0 KHz" rather than dividing by zero.
QString PwmFrequencyLabel(int periodCount, const QLocale& locale = QLocale());

// The same two values in their real units, for documents: duty in percent
// ("10.0 %") and frequency in kilohertz ("10.0 kHz"; a count of 0 reads
// "0 kHz").
QString PwmDutyPercent(int duty, const QLocale& locale = QLocale());
QString PwmFrequencyKHz(int periodCount, const QLocale& locale = QLocale());
