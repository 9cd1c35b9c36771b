#include "NoiseReductionMode.h"

#include "ConfigTexts.h"

#include <QCheckBox>

void ApplyNoiseReductionMode(QCheckBox* noisePir1, QCheckBox* noisePir2,
                             std::uint16_t configFlags) {
    const bool automatic = (configFlags & FlagTempComp) != 0;
    noisePir1->setEnabled(!automatic);
    noisePir2->setEnabled(!automatic);
    noisePir1->setText(NoisePir1Caption(configFlags));
    noisePir2->setText(NoisePir2Caption(configFlags));
}
