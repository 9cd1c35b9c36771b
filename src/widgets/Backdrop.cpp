#include "Backdrop.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <QWidget>

#include <algorithm>

namespace {

// The siblings drawn before `widget` in its parent, which lie beneath it.
template <typename Visit> void SiblingsBeneath(const QWidget& widget, Visit visit) {
    const QWidget* parent = widget.parentWidget();
    if (!parent)
        return;
    for (const QObject* child : parent->children()) {
        if (child == &widget)
            return;
        const auto* sibling = qobject_cast<const QWidget*>(child);
        if (sibling && !sibling->isWindow() && sibling->geometry().intersects(widget.geometry()))
            visit(*sibling);
    }
}

// Renders the part of `source` that lies under a widget whose top-left is at
// `at` in the coordinates of `source`.
void RenderUnder(QPixmap& picture, QWidget& source, const QPoint& at, const QSize& size,
                 QWidget::RenderFlags flags) {
    const QRect area = QRect(at, size).intersected(source.rect());
    if (!area.isEmpty())
        source.render(&picture, area.topLeft() - at, QRegion(area), flags);
}

} // namespace

std::vector<Backdrop::Layer> Backdrop::Look(QWidget& widget) const {
    std::vector<Layer> look;
    look.push_back({&widget, 0, QRect(widget.mapTo(widget.window(), QPoint()), widget.size()),
                    widget.isEnabled(), true});
    for (const QWidget* w = &widget; !w->isWindow(); w = w->parentWidget()) {
        SiblingsBeneath(*w, [&](const QWidget& sibling) {
            look.push_back({&sibling, sibling.palette().cacheKey(), sibling.geometry(),
                            sibling.isEnabled(), sibling.isVisible()});
        });
        const QWidget* parent = w->parentWidget();
        look.push_back({parent, parent->palette().cacheKey(), QRect(QPoint(), parent->size()),
                        parent->isEnabled(), true});
    }
    return look;
}

bool Backdrop::Refresh(QWidget& widget) {
    std::vector<Layer> look = Look(widget);
    if (!m_picture.isNull() && look == m_look && widget.style() == m_style &&
        widget.isActiveWindow() == m_active && widget.devicePixelRatioF() == m_ratio)
        return false;
    m_look = std::move(look);
    Take(widget);
    return true;
}

void Backdrop::Draw(QPainter& painter, QWidget& widget, const QRect& area) {
    Refresh(widget);
    DrawPart(painter, m_picture, area.intersected(widget.rect()));
}

void Backdrop::Take(QWidget& widget) {
    m_style = widget.style();
    m_active = widget.isActiveWindow();
    m_ratio = widget.devicePixelRatioF();
    m_picture = QPixmap((QSizeF(widget.size()) * m_ratio).toSize());
    m_picture.setDevicePixelRatio(m_ratio);
    m_picture.fill(Qt::transparent);
    if (widget.isWindow()) {
        // As the window system would show an empty window.
        QPainter(&m_picture).fillRect(widget.rect(), widget.palette().brush(QPalette::Window));
        return;
    }
    // From the window down: each ancestor's own drawing (the window with its
    // background, as on screen), then the siblings beneath the next one with
    // all their children.
    std::vector<QWidget*> chain;
    for (QWidget* w = &widget; !w->isWindow(); w = w->parentWidget())
        chain.push_back(w);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        QWidget* parent = (*it)->parentWidget();
        RenderUnder(m_picture, *parent, widget.mapTo(parent, QPoint()), widget.size(),
                    parent->isWindow() ? QWidget::DrawWindowBackground : QWidget::RenderFlags());
        SiblingsBeneath(**it, [&](const QWidget& sibling) {
            auto& s = const_cast<QWidget&>(sibling);
            if (s.isVisible())
                RenderUnder(m_picture, s, widget.mapTo(parent, QPoint()) - s.pos(), widget.size(),
                            QWidget::DrawChildren);
        });
    }
}

void Backdrop::KeepOpaque(QWidget& widget, const QEvent& event) {
    if (event.type() == QEvent::Polish || event.type() == QEvent::StyleChange)
        widget.setAttribute(Qt::WA_OpaquePaintEvent);
}

void Backdrop::DrawPart(QPainter& painter, const QPixmap& picture, const QRect& area) {
    // Only the area asked for, and in bands: the raster engine hands a copy
    // of more than about a hundred rows to its thread pool, and waking those
    // threads costs more than copying a readout.
    const qreal ratio = picture.devicePixelRatio();
    for (int top = area.top(); top <= area.bottom(); top += BandRows) {
        const QRect band(area.left(), top, area.width(),
                         std::min(BandRows, area.bottom() - top + 1));
        painter.drawPixmap(band, picture,
                           QRectF(QPointF(band.topLeft()) * ratio, QSizeF(band.size()) * ratio));
    }
}
