#include "TGraphicsNames.h"

#include "AccessibleNames.h"

// The names a screen reader announces for the graph window.
static const AccessibleName kNames[] = {
    {"imgScreen", "Signal graph"},
};

void NameGraphicsControls(QWidget* window) {
    ApplyAccessibleNames(window, kNames);
}
