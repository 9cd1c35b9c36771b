#include "BarPosition.h"

#include "LevelBar.h"

#include <QProgressBar>
#include <algorithm>

void SetBarPosition(QProgressBar* bar, int value) {
    const int shown = std::clamp(value, bar->minimum(), std::max(bar->minimum(), bar->maximum()));
    if (auto* level = qobject_cast<LevelBar*>(bar))
        level->SetLevel(shown);
    else
        bar->setValue(shown);
}
