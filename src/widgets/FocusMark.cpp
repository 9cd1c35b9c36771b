#include "FocusMark.h"

#include <QApplication>
#include <QPainter>

FocusMark::FocusMark(QWidget* window) : QFocusFrame(window) {
    setObjectName("FocusMark");
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide(); // until a marked control takes focus; it would show with the window
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { FocusChanged(now); });
}

void FocusMark::Add(QWidget* control) {
    m_controls.insert(control);
    connect(control, &QObject::destroyed, this, [this, control] { m_controls.remove(control); });
}

void FocusMark::FocusChanged(QWidget* now) {
    for (QWidget* w = now; w; w = w->parentWidget()) {
        if (m_controls.contains(w)) {
            setWidget(now);
            return;
        }
    }
    setWidget(nullptr);
}

void FocusMark::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}
