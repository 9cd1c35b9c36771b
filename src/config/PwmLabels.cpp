#include "PwmLabels.h"

namespace {

// The "C" locale leaves out the thousands separator unless told otherwise;
// the labels always group.
QLocale Grouping(const QLocale& locale) {
    QLocale grouped = locale;
    grouped.setNumberOptions(QLocale::DefaultNumberOptions);
    return grouped;
}

} // namespace

QString PwmDutyLabel(int duty, const QLocale& locale) {
    return QStringLiteral("DC:  ") + Grouping(locale).toString(duty * 0.0625, 'f', 1) +
           QStringLiteral(" %  @10KHz");
}

QString PwmFrequencyLabel(int periodCount, const QLocale& locale) {
    const double v = periodCount == 0 ? 0.0 : 16000000.0 / periodCount;
    return Grouping(locale).toString(v, 'f', 0) + QStringLiteral(" KHz");
}

QString PwmDutyPercent(int duty, const QLocale& locale) {
    return Grouping(locale).toString(duty * 0.0625, 'f', 1) + QStringLiteral(" %");
}

// The count is of 16 MHz clock periods.
QString PwmFrequencyKHz(int periodCount, const QLocale& locale) {
    if (periodCount == 0)
        return QStringLiteral("0 kHz");
    return Grouping(locale).toString(16000.0 / periodCount, 'f', 1) + QStringLiteral(" kHz");
}
