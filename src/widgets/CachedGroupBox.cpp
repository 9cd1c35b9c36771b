#include "CachedGroupBox.h"

#include <QPaintEvent>
#include <QPainter>
#include <QStyle>

void CachedGroupBox::paintEvent(QPaintEvent* event) {
    // A check box in the title follows the pointer: such a box is not cached.
    if (isCheckable()) {
        QGroupBox::paintEvent(event);
        return;
    }
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    if (m_picture.isNull() || !SameLook(option))
        DrawPicture(option);
    if (event->region().intersects(m_titleBand)) {
        QGroupBox::paintEvent(event);
        return;
    }
    // Rectangle by rectangle: within one rectangle the picture is blended
    // line by line at once, where a clip of several rectangles would take
    // the slow path span by span.
    QPainter painter(this);
    for (const QRect& exposed : event->region()) {
        const QRectF source(QPointF(exposed.topLeft()) * m_ratio, QSizeF(exposed.size()) * m_ratio);
        painter.setClipRect(exposed);
        painter.drawPixmap(QRectF(exposed), m_picture, source);
    }
}

bool CachedGroupBox::SameLook(const QStyleOptionGroupBox& o) const {
    const QStyleOptionGroupBox& m = m_look;
    return o.rect == m.rect && o.state == m.state && o.direction == m.direction &&
           o.palette.cacheKey() == m.palette.cacheKey() && o.text == m.text &&
           o.textAlignment == m.textAlignment && o.textColor == m.textColor &&
           o.features == m.features && o.lineWidth == m.lineWidth &&
           o.midLineWidth == m.midLineWidth && o.subControls == m.subControls &&
           o.activeSubControls == m.activeSubControls && font() == m_font && style() == m_style &&
           devicePixelRatioF() == m_ratio;
}

void CachedGroupBox::DrawPicture(const QStyleOptionGroupBox& option) {
    m_look = option;
    m_font = font();
    m_style = style();
    m_ratio = devicePixelRatioF();
    m_picture = QPixmap((QSizeF(size()) * m_ratio).toSize());
    m_picture.setDevicePixelRatio(m_ratio);
    m_picture.fill(Qt::transparent);
    {
        // The same pen, brush and font as a painter on the box itself.
        QPainter painter(&m_picture);
        painter.setPen(QPen(palette().brush(foregroundRole()), 1));
        painter.setBrush(palette().brush(backgroundRole()));
        painter.setFont(font());
        style()->drawComplexControl(QStyle::CC_GroupBox, &option, &painter, this);
    }
    const QRect label =
        style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, this);
    m_titleBand = QRect(0, 0, width(), std::max(label.bottom() + 2, contentsRect().top()));
}
