#include "BarPosition.h"

#include <QProgressBar>
#include <algorithm>

void SetBarPosition(QProgressBar* bar, int value) {
    bar->setValue(std::clamp(value, bar->minimum(), std::max(bar->minimum(), bar->maximum())));
}
