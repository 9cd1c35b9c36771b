#include "WheelGuard.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QWheelEvent>
#include <QWidget>

void WheelGuard::Install(QWidget* control) {
    control->installEventFilter(new WheelGuard(control));
    // The wheel must not focus the control and so unlock itself.
    if ((control->focusPolicy() & Qt::WheelFocus) == Qt::WheelFocus)
        control->setFocusPolicy(Qt::StrongFocus);
}

bool WheelGuard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel)
        return false;
    auto* control = qobject_cast<QWidget*>(watched);
    if (!control || control->hasFocus())
        return false;

    // Handed explicitly to the enclosing scroll area: the toolkit passes an
    // event a widget declines on to its parents only for events that come
    // from the window system.
    for (QWidget* w = control->parentWidget(); w && !w->isWindow(); w = w->parentWidget()) {
        auto* area = qobject_cast<QAbstractScrollArea*>(w);
        if (!area)
            continue;
        const auto* wheel = static_cast<QWheelEvent*>(event);
        QWheelEvent scroll(area->viewport()->mapFromGlobal(wheel->globalPosition()),
                           wheel->globalPosition(), wheel->pixelDelta(), wheel->angleDelta(),
                           wheel->buttons(), wheel->modifiers(), wheel->phase(), wheel->inverted(),
                           wheel->source(), wheel->pointingDevice());
        QCoreApplication::sendEvent(area->viewport(), &scroll);
        break;
    }
    return true;
}
