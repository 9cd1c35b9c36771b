#include "NoiseReductionMode.h"

#include "DetectorConfig.h"

#include <QCheckBox>

void ApplyNoiseReductionMode(QCheckBox* noisePir1, QCheckBox* noisePir2,
                             std::uint16_t configFlags) {
    const bool automatic = (configFlags & FlagTempComp) != 0;
    noisePir1->setEnabled(!automatic);
    noisePir2->setEnabled(!automatic);
    noisePir1->setText(automatic ? QStringLiteral("PIR UP(Auto change N.R.)")
                                 : QStringLiteral("PIR UP(Noise Reduction)"));
    noisePir2->setText(automatic ? QStringLiteral("PIR DOWN(Auto change N.R.)")
                                 : QStringLiteral("PIR DOWN(Noise Reduction)"));
}
