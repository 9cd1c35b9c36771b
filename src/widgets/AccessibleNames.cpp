#include "AccessibleNames.h"

#include "FindControl.h"
#include "Shape.h"

#include <QWidget>

void ApplyAccessibleNames(QWidget* form, std::span<const AccessibleName> names) {
    for (const AccessibleName& entry : names) {
        auto* control = FindControl<QWidget>(form, entry.control);
        control->setAccessibleName(QString::fromUtf8(entry.name));
        if (entry.lit)
            FindControl<Shape>(form, entry.control)->setLitText(QString::fromUtf8(entry.lit));
    }
}
