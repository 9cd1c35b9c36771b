#include "NumberText.h"

#include <cstdlib>

QString GeneralNumberText(int value) {
    if (std::abs(value) < 10000)
        return QString::number(value);
    return QString::number(static_cast<double>(value), 'g', 4).toUpper();
}

QString CelsiusText(int value) {
    return GeneralNumberText(value) + QStringLiteral("\u00B0C");
}

QString TemperatureText(int value, bool compensated) {
    return compensated ? CelsiusText(value) : QStringLiteral("---");
}
