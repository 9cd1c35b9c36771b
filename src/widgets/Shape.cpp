#include "Shape.h"

#include "GreyedColour.h"

#include <QPainter>
#include <algorithm>

Shape::Shape(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents, false);
    describeState();
}

void Shape::setBrushColor(const QColor& colour) {
    if (colour == m_brush)
        return;
    m_brush = colour;
    describeState();
    // Painted with the window's next paint pass, which the poll makes while
    // its next request is on the line, before the receive waits: at once to
    // the eye, and with everything else the status changed rather than a
    // pass (and a flush to the screen) of its own.
    update();
}

void Shape::setOffColor(const QColor& colour) {
    m_off = colour;
    describeState();
}

void Shape::setLitText(const QString& word) {
    m_litText = word;
    describeState();
}

void Shape::describeState() {
    const QString state = m_brush == m_off ? QStringLiteral("off") : m_litText;
    if (accessibleDescription() != state)
        setAccessibleDescription(state);
}

void Shape::setShapeType(ShapeType type) {
    if (type == m_type)
        return;
    m_type = type;
    update();
}

void Shape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, m_type != Rectangle);
    // Disabled: the reading is stale, and the lamp must not look live.
    const bool live = isEnabled();
    painter.setPen(
        QPen(live ? QColor(Qt::black) : palette().color(QPalette::Disabled, QPalette::Mid), 1));
    painter.setBrush(live ? m_brush : GreyedColour(m_brush, palette()));
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    switch (m_type) {
    case Rectangle:
        painter.drawRect(r);
        break;
    case RoundRect:
        painter.drawRoundedRect(r, 4, 4);
        break;
    case Circle: {
        const qreal d = std::min(r.width(), r.height());
        painter.drawEllipse(QRectF(r.center().x() - d / 2, r.center().y() - d / 2, d, d));
        break;
    }
    case Ellipse:
        painter.drawEllipse(r);
        break;
    }
}
