#include "LiveReadings.h"

#include "NumberText.h"

std::vector<LiveReading> LiveReadingTexts(const LiveStatus& s, bool direct,
                                          bool temperatureCompensated) {
    const auto number = [](int value) { return QString::number(value); };
    return {
        {QStringLiteral("Radar level"), number(direct ? s.MwDirectLevel() : s.MwLevel())},
        {QStringLiteral("Pir High above level"),
         number(direct ? s.Pir1DirectLevel() : s.Pir1Level())},
        {QStringLiteral("Pir Down Under level"),
         number(direct ? s.Pir2DirectLevel() : s.Pir2Level())},
        {QStringLiteral("Mask #1 (M)"), number(s.Acc1Level())},
        {QStringLiteral("Mask #1 noise (N)"), number(s.Acc1Noise())},
        {QStringLiteral("Mask #2 (M)"), number(s.Acc2Level())},
        {QStringLiteral("Mask #2 noise (N)"), number(s.Acc2Noise())},
        {QStringLiteral("Ntc"), TemperatureText(s.Temperature(), temperatureCompensated)},
        {QStringLiteral("TAMPER X"), number(s.AccX())},
        {QStringLiteral("TAMPER Y"), number(s.AccY())},
        {QStringLiteral("TAMPER Z"), number(s.AccZ())},
    };
}

QStringList LitLampNames(const FlagSet& d, const FlagSet& v) {
    const std::pair<bool, const char*> lamps[] = {
        {d[DetectFlag::Mw], "Radar"},
        {d[DetectFlag::Pir1], "Pir High above"},
        {d[DetectFlag::Pir2], "Pir Down Under"},
        {d[DetectFlag::Acc1], "Mask #1"},
        {d[DetectFlag::Acc2], "Mask #2"},
        {d[DetectFlag::Acc1Noise], "Mask #1 noise"},
        {d[DetectFlag::Acc2Noise], "Mask #2 noise"},
        {d[DetectFlag::Tamper], "TAMPER"},
        {v[DeviceFlag::DiagnosticOn], "Auto Test (24h)"},
        {v[DeviceFlag::PowerFail], "Low Voltage"},
        {v[DeviceFlag::MwFault], "MW fault"},
        {v[DeviceFlag::Pir1Fault], "A. Pir fault"},
        {v[DeviceFlag::Pir2Fault], "U. Pir fault"},
        {v[DeviceFlag::CpuFault], "CPU fault"},
        {v[DeviceFlag::Out1], "Out #1"},
        {v[DeviceFlag::Out2], "Out #2"},
        {v[DeviceFlag::Out3], "Out #3"},
    };
    QStringList names;
    for (const auto& [lit, name] : lamps)
        if (lit)
            names << QString::fromLatin1(name);
    return names;
}
