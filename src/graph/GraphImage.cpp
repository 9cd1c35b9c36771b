#include "GraphImage.h"

#include <QPaintEvent>
#include <QPainter>

GraphImage::GraphImage(QWidget* parent) : QWidget(parent) {
    // The image covers the whole widget: no background erase is needed.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GraphImage::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::black);
    painter.drawImage(0, 0, m_image);
}
