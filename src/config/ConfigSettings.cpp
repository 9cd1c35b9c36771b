#include "ConfigSettings.h"

#include "ConfigTexts.h"
#include "LensPresets.h"

#include <QStringList>

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

namespace {

// Bits of the check boxes of the SETUP group: every flag a write carries
// from the controls.
constexpr std::uint16_t CheckBoxFlags = WritableFlags & ~FlagStoreToFlash;

enum class Kind { Number, OnOff, Function, Contact, TimeAnd, Hex };

struct Setting {
    QString name;
    Kind kind;
    std::function<int(const DetectorConfig&)> value;
    // The control's range where it can change a value (numbers and Time AND,
    // in seconds for the latter); none where every value is taken as it is.
    std::optional<ControlRange> range{};
};

const QStringList FunctionItems = FunctionItemTexts();
constexpr int LastFunction = FunctionAutoTest;

ConfigControlRanges MakeRanges() {
    const LensPreset& user = *FindLensPreset(0);
    ConfigControlRanges r{};
    r.TRange[DetectorConfig::ChannelMw] = {10, 500};
    r.Tconv[DetectorConfig::ChannelMw] = {1, 50};
    r.Nconv[DetectorConfig::ChannelMw] = {1, 10};
    for (int ch : {DetectorConfig::ChannelPir1, DetectorConfig::ChannelPir2}) {
        r.TRange[ch] = {user.TRange.Min, user.TRange.Max};
        r.Tconv[ch] = {user.Tconv.Min, user.Tconv.Max};
        r.Nconv[ch] = {user.Nconv.Min, user.Nconv.Max};
    }
    r.NPulse = {1, 5};
    r.PwmDc = {1, 640};
    r.PwmFq = {1600, 16000};
    r.TimeAndSeconds[0] = {1, 10};
    r.TimeAndSeconds[1] = {1, 5};
    r.TimeAndSeconds[2] = {1, 5};
    return r;
}

// Every setting, in the order the window shows them: the three channel
// panels, then the SETUP group from top to bottom.
std::vector<Setting> AllSettings() {
    const ConfigControlRanges& r = LoadedControlRanges();
    std::vector<Setting> all;
    for (int ch = 0; ch < DetectorConfig::ChannelCount; ++ch) {
        // The panel's own caption, as the window and the report name it.
        const QString c = ChannelCaption(ch);
        all.push_back({c + QStringLiteral(" threshold"), Kind::Number,
                       [ch](const DetectorConfig& d) { return int(d.TRange(ch)); }, r.TRange[ch]});
        all.push_back({c + QStringLiteral(" rate"), Kind::Number,
                       [ch](const DetectorConfig& d) { return int(d.Nconv(ch)); }, r.Nconv[ch]});
        all.push_back({c + QStringLiteral(" speed"), Kind::Number,
                       [ch](const DetectorConfig& d) { return int(d.Tconv(ch)); }, r.Tconv[ch]});
        all.push_back({c + QStringLiteral(" pulse"), Kind::Number,
                       [ch](const DetectorConfig& d) { return int(d.NPulse(ch)); }, r.NPulse});
    }
    const std::pair<const char*, std::uint16_t> boxes[] = {
        {"MASK", FlagEnMask},
        {"Enable Mw", FlagEnMw},
        {"Enable Pir High above", FlagEnPir1},
        {"Enable Pir Down Under", FlagEnPir2},
        {"Enable Mask #1-2", FlagEnAcc},
        {"Enable Tamper", FlagEnTamper},
        {"Enable Temp. Comp.", FlagTempComp},
        {"Enable Auto Test (24h)", FlagAutoTest},
        {"Led ON", FlagEnLed},
        {"Mw noise reduction", FlagNoiseMw},
        {"Pir High noise reduction", FlagNoisePir1},
        {"Pir Down noise reduction", FlagNoisePir2}};
    for (const auto& [caption, bit] : boxes)
        all.push_back(
            {QString::fromLatin1(caption), Kind::OnOff,
             [bit = bit](const DetectorConfig& d) { return int(d.ConfigFlags() & bit); }});
    for (int out = 0; out < DetectorConfig::OutputCount; ++out) {
        const QString o = QStringLiteral("Out #%1 ").arg(out + 1);
        const auto flag = [out](std::uint8_t bit) {
            return [out, bit](const DetectorConfig& d) { return int(d.OutFlags(out) & bit); };
        };
        all.push_back({o + QStringLiteral("Enable"), Kind::OnOff, flag(OutEnable)});
        all.push_back({o + QStringLiteral("Function"), Kind::Function,
                       [out](const DetectorConfig& d) { return int(d.Function(out)); },
                       ControlRange{FunctionAnd, LastFunction}});
        all.push_back({o + QStringLiteral("MW"), Kind::OnOff, flag(OutMw)});
        all.push_back({o + QStringLiteral("A. Pir"), Kind::OnOff, flag(OutPir1)});
        all.push_back({o + QStringLiteral("U. Pir"), Kind::OnOff, flag(OutPir2)});
        all.push_back({o + QStringLiteral("NC/NO"), Kind::Contact, flag(OutNormallyOpen)});
        all.push_back({o + QStringLiteral("Time AND"), Kind::TimeAnd,
                       [out](const DetectorConfig& d) { return int(d.TimeAnd(out)); },
                       r.TimeAndSeconds[out]});
        // Carried as the record holds them, never shown.
        all.push_back({o + QStringLiteral("aux byte"), Kind::Hex,
                       [out](const DetectorConfig& d) { return int(d.OutAux(out)); }});
        all.push_back({o + QStringLiteral("spare flag bits"), Kind::Hex, flag(0xE0)});
    }
    all.push_back({QStringLiteral("MW Pw DC"), Kind::Number,
                   [](const DetectorConfig& d) { return int(d.PwmDc()); }, r.PwmDc});
    all.push_back({QStringLiteral("MW Pw Fq"), Kind::Number,
                   [](const DetectorConfig& d) { return int(d.PwmFq()); }, r.PwmFq});
    return all;
}

QString Text(Kind kind, int value) {
    switch (kind) {
    case Kind::Number:
        return QString::number(value);
    case Kind::OnOff:
        return value ? QStringLiteral("on") : QStringLiteral("off");
    case Kind::Function:
        return value <= LastFunction ? FunctionItems[value] : QStringLiteral("code %1").arg(value);
    case Kind::Contact:
        return ContactItemTexts()[value ? 1 : 0];
    case Kind::TimeAnd:
        return value % 1000 == 0 ? TimeAndText(value / 1000) : QStringLiteral("%1 ms").arg(value);
    case Kind::Hex:
        return QStringLiteral("0x") + QStringLiteral("%1").arg(value, 2, 16, QChar(u'0')).toUpper();
    }
    return {};
}

// Whether the control takes `value` as it is, and what it takes if not.
std::optional<QString> Refusal(const Setting& s, int value) {
    if (!s.range)
        return std::nullopt;
    const ControlRange range = *s.range;
    switch (s.kind) {
    case Kind::TimeAnd:
        if (value % 1000 == 0 && value / 1000 >= range.Min && value / 1000 <= range.Max)
            return std::nullopt;
        return QStringLiteral("whole seconds from %1 to %2").arg(range.Min).arg(range.Max);
    case Kind::Function:
        if (value <= range.Max)
            return std::nullopt;
        return QStringLiteral("the items %1 to %2, codes %3 to %4")
            .arg(FunctionItems[range.Min], FunctionItems[range.Max])
            .arg(range.Min)
            .arg(range.Max);
    default:
        if (value >= range.Min && value <= range.Max)
            return std::nullopt;
        return QStringLiteral("%1 to %2").arg(range.Min).arg(range.Max);
    }
}

int Clamp(int value, ControlRange range) {
    return std::clamp(value, range.Min, range.Max);
}

} // namespace

const ConfigControlRanges& LoadedControlRanges() {
    static const ConfigControlRanges ranges = MakeRanges();
    return ranges;
}

QList<RefusedSetting> SettingsTheControlsWouldChange(const DetectorConfig& config) {
    QList<RefusedSetting> refused;
    for (const Setting& s : AllSettings()) {
        const int value = s.value(config);
        if (const std::optional<QString> accepts = Refusal(s, value))
            refused.append({s.name, Text(s.kind, value), *accepts});
    }
    return refused;
}

QString DescribeRefusals(const QList<RefusedSetting>& refused) {
    QStringList lines;
    for (const RefusedSetting& r : refused)
        lines << QStringLiteral("%1 %2 (the control takes %3)").arg(r.setting, r.value, r.accepts);
    return lines.join(u'\n');
}

QList<SettingDifference> CompareSettings(const DetectorConfig& first,
                                         const DetectorConfig& second) {
    QList<SettingDifference> differences;
    for (const Setting& s : AllSettings()) {
        const int a = s.value(first);
        const int b = s.value(second);
        if (a != b)
            differences.append({s.name, Text(s.kind, a), Text(s.kind, b)});
    }
    return differences;
}

ConfigControlValues ControlValuesShowing(const DetectorConfig& config) {
    const ConfigControlRanges& r = LoadedControlRanges();
    ConfigControlValues values;
    for (int ch = 0; ch < DetectorConfig::ChannelCount; ++ch)
        values.Channels[ch] = {
            Clamp(config.TRange(ch), r.TRange[ch]), Clamp(config.Tconv(ch), r.Tconv[ch]),
            Clamp(config.Nconv(ch), r.Nconv[ch]), Clamp(config.NPulse(ch), r.NPulse)};
    values.PwmDc = Clamp(config.PwmDc(), r.PwmDc);
    values.PwmFq = Clamp(config.PwmFq(), r.PwmFq);
    values.CheckedFlags = config.ConfigFlags() & CheckBoxFlags;
    for (int out = 0; out < DetectorConfig::OutputCount; ++out)
        values.Functions[out] = std::min<int>(config.Function(out), LastFunction);
    return values;
}

Command::ConfigWriteFrame LoadedConfigWriteFrame(const DetectorConfig& config,
                                                 std::uint16_t extraFlags) {
    return MakeConfigWriteFrame(ControlValuesShowing(config), config, extraFlags);
}
