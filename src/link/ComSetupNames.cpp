#include "ComSetupNames.h"

#include "AccessibleNames.h"

// The names a screen reader announces for the dialog's controls; the OK
// button is announced by its caption.
static const AccessibleName kNames[] = {
    {"ScrollBar1", "Time-out"},
    {"ComboBox1", "Serial port"},
    {"ComboBox_Site", "Site name"},
    {"ComboBox_Detector", "Detector name"},
};

void NameComSetupControls(QWidget* dialog) {
    ApplyAccessibleNames(dialog, kNames);
}
