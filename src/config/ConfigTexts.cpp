#include "ConfigTexts.h"

#include "ConfigSettings.h"

#include <algorithm>
#include <cmath>

QString ChannelCaption(int channel) {
    static const char* const captions[] = {"Radar", "Pir High above", "Pir Down Under"};
    return QString::fromLatin1(captions[std::clamp(channel, 0, 2)]);
}

QStringList FunctionItemTexts() {
    return {QStringLiteral("AND"), QStringLiteral("OR"), QStringLiteral("AUTO OR"),
            QStringLiteral("MASK"), QStringLiteral("AUTO TEST")};
}

QStringList ContactItemTexts() {
    return {QStringLiteral("NC"), QStringLiteral("NO")};
}

QStringList LensItemTexts() {
    return {QStringLiteral("User"), QStringLiteral("Angle"), QStringLiteral("Horizontal Curtain"),
            QStringLiteral("Vertical Curtain")};
}

QString FunctionText(int code) {
    const QStringList items = FunctionItemTexts();
    if (code < 0)
        return {};
    return items[std::min<qsizetype>(code, items.size() - 1)];
}

QString ContactText(std::uint8_t outFlags) {
    return ContactItemTexts()[(outFlags & OutNormallyOpen) ? 1 : 0];
}

QString TechnologyCaption(std::uint8_t bit) {
    switch (bit) {
    case OutMw:
        return QStringLiteral("MW");
    case OutPir1:
        return QStringLiteral("A. Pir");
    case OutPir2:
        return QStringLiteral("U. Pir");
    default:
        return {};
    }
}

const std::vector<FlagBoxText>& EnableFlagBoxes() {
    static const std::vector<FlagBoxText> boxes{
        {"CheckBox_EN_MASK", FlagEnMask, QStringLiteral("MASK"), false},
        {"CheckBox_EN_MW", FlagEnMw, QStringLiteral("Enable Mw"), true},
        {"CheckBox_EN_PIR1", FlagEnPir1, QStringLiteral("Enable Pir High above"), true},
        {"CheckBox_EN_PIR2", FlagEnPir2, QStringLiteral("Enable Pir Down Under"), true},
        {"CheckBox_EN_ACC", FlagEnAcc, QStringLiteral("Enable Mask #1-2"), true},
        {"CheckBox_EN_TAMPER", FlagEnTamper, QStringLiteral("Enable Tamper"), true},
        {"CheckBox_EN_TempComp", FlagTempComp, QStringLiteral("Enable Temp. Comp."), true},
        {"CheckBox_AutoTest", FlagAutoTest, QStringLiteral("Enable Auto Test (24h)"), true},
        {"CheckBox_EN_LED", FlagEnLed, QStringLiteral("Led ON"), true}};
    return boxes;
}

const std::vector<FlagBoxText>& NoiseFlagBoxes() {
    static const std::vector<FlagBoxText> boxes{
        {"CheckBox_NOISE_MW", FlagNoiseMw, QStringLiteral("Mw noise reduction"), true},
        {"CheckBox_NOISE_PIR1", FlagNoisePir1, QStringLiteral("Pir High noise reduction"), true},
        {"CheckBox_NOISE_PIR2", FlagNoisePir2, QStringLiteral("Pir Down noise reduction"), true}};
    return boxes;
}

QString NoisePir1Caption(std::uint16_t configFlags) {
    return (configFlags & FlagTempComp) ? QStringLiteral("PIR UP(Auto change N.R.)")
                                        : QStringLiteral("PIR UP(Noise Reduction)");
}

QString NoisePir2Caption(std::uint16_t configFlags) {
    return (configFlags & FlagTempComp) ? QStringLiteral("PIR DOWN(Auto change N.R.)")
                                        : QStringLiteral("PIR DOWN(Noise Reduction)");
}

QString FlagCaption(const FlagBoxText& box, std::uint16_t configFlags) {
    if (box.Bit == FlagNoisePir1)
        return NoisePir1Caption(configFlags);
    if (box.Bit == FlagNoisePir2)
        return NoisePir2Caption(configFlags);
    return box.Caption;
}

QString TimeAndHeldText(std::uint16_t milliseconds) {
    // 'g' with enough digits drops trailing zeros: 10000 -> 10, 2500 -> 2.5.
    return QString::number(milliseconds / 1000.0, 'g', 6) + QStringLiteral(" sec.");
}

QString TimeAndText(int seconds) {
    return QString::number(seconds) + QStringLiteral(" sec.");
}
