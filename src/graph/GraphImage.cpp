#include "GraphImage.h"

#include "Backdrop.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

GraphImage::GraphImage(QWidget* parent) : QWidget(parent) {
    // The image covers the whole widget: no background erase is needed.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GraphImage::paintEvent(QPaintEvent* event) {
    // The picture is redrawn for every status: copy only what is exposed,
    // and clear only what the picture does not cover.
    QPainter painter(this);
    const QRect exposed = event->rect();
    // Part by part: a status changes a few columns and the boxes of the
    // labels, far less than the box around them all.
    const QRegion picture = event->region().intersected(m_image.rect());
    for (const QRect& part : picture) {
        // In bands, as the readouts copy: waking the raster engine's thread
        // pool for the few columns a status changes costs more than the copy.
        constexpr int Band = Backdrop::BandRows;
        for (int top = part.top(); top <= part.bottom(); top += Band) {
            const QRect band(part.left(), top, part.width(),
                             std::min(Band, part.bottom() - top + 1));
            painter.drawImage(band.topLeft(), m_image, band);
        }
    }
    const QRegion uncovered = event->region().subtracted(picture);
    for (const QRect& rest : uncovered)
        painter.fillRect(rest, Qt::black);
    // Disabled while the link is down: the traces are history, not live.
    if (!isEnabled())
        painter.fillRect(exposed, QColor(128, 128, 128, 160));
}
