#include "GraphImage.h"

#include <QPaintEvent>
#include <QPainter>

GraphImage::GraphImage(QWidget* parent) : QWidget(parent) {
    // The image covers the whole widget: no background erase is needed.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GraphImage::paintEvent(QPaintEvent* event) {
    // The picture is redrawn for every status: copy only what is exposed,
    // and clear only what the picture does not cover.
    QPainter painter(this);
    const QRect exposed = event->rect();
    const QRect picture = exposed.intersected(m_image.rect());
    if (!picture.isEmpty())
        painter.drawImage(picture.topLeft(), m_image, picture);
    const QRegion uncovered = QRegion(exposed).subtracted(QRegion(picture));
    for (const QRect& rest : uncovered)
        painter.fillRect(rest, Qt::black);
    // Disabled while the link is down: the traces are history, not live.
    if (!isEnabled())
        painter.fillRect(exposed, QColor(128, 128, 128, 160));
}
