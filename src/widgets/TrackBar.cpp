#include "TrackBar.h"

#include "GreyedColour.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyleOptionSlider>
#include <QStylePainter>
#include <algorithm>

TrackBar::TrackBar(QWidget* parent) : QSlider(Qt::Vertical, parent) {
    // Minimum at the top: the position grows downward like the scale of the
    // detector's threshold, whose value is read as maximum + minimum - position.
    setInvertedAppearance(true);
    setInvertedControls(true);
    setTickPosition(QSlider::TicksLeft);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool TrackBar::event(QEvent* event) {
    const bool handled = QSlider::event(event);
    Backdrop::KeepOpaque(*this, *event);
    return handled;
}

void TrackBar::setSelStart(int position) {
    if (position == m_selStart)
        return;
    const QRect before = selectionBandRect();
    m_selStart = position;
    RepaintBandChange(before);
}

void TrackBar::setSelEnd(int position) {
    if (position == m_selEnd)
        return;
    const QRect before = selectionBandRect();
    m_selEnd = position;
    RepaintBandChange(before);
}

// Many selection changes move the band by less than a pixel: only a band
// that looks different is drawn again, and only where it changed. The band is
// of one colour, so where an end moves only the rows between its old and new
// place change, not the whole band between them: a live status moves one end
// by a few rows of a band a hundred rows high.
void TrackBar::RepaintBandChange(const QRect& before) {
    const QRect after = selectionBandRect();
    if (after == before)
        return;
    const auto rows = [&](int from, int to) {
        return QRect(QPoint(after.left(), std::min(from, to)),
                     QPoint(after.right(), std::max(from, to)))
            .adjusted(-1, -1, 1, 1);
    };
    if (before.isEmpty() || after.isEmpty() || before.left() != after.left() ||
        before.right() != after.right()) {
        update(before.united(after).adjusted(-1, -1, 1, 1));
        return;
    }
    if (before.top() != after.top())
        update(rows(before.top(), after.top()));
    if (before.bottom() != after.bottom())
        update(rows(before.bottom(), after.bottom()));
}

void TrackBar::setBandColor(const QColor& colour) {
    if (colour == m_bandColor)
        return;
    m_bandColor = colour;
    update();
}

QRect TrackBar::selectionBandRect() const {
    // The band is drawn only inside the scale: a selection beyond the range
    // is shown at the nearest end, as the level bars do.
    const int lo = std::clamp(std::min(m_selStart, m_selEnd), minimum(), maximum());
    const int hi = std::clamp(std::max(m_selStart, m_selEnd), minimum(), maximum());
    if (lo == hi)
        return {};

    const Scale& scale = CurrentScale();
    const QRect& groove = scale.groove;
    const int span = groove.height() - scale.handleHeight;
    const int offset = groove.top() + scale.handleHeight / 2;
    const int top =
        offset + QStyle::sliderPositionFromValue(minimum(), maximum(), lo, span, scale.upsideDown);
    const int bottom =
        offset + QStyle::sliderPositionFromValue(minimum(), maximum(), hi, span, scale.upsideDown);
    const int width = std::max(4, groove.width() / 2);
    const int left = groove.center().x() - width / 2;
    return QRect(QPoint(left, std::min(top, bottom)), QPoint(left + width, std::max(top, bottom)));
}

const TrackBar::Scale& TrackBar::CurrentScale() const {
    if (m_scale.style == style() && m_scale.size == size() && m_scale.ticks == tickPosition() &&
        m_scale.orientation == orientation() && m_scale.inverted == invertedAppearance() &&
        m_scale.direction == layoutDirection())
        return m_scale;
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    m_scale.size = size();
    m_scale.style = style();
    m_scale.ticks = tickPosition();
    m_scale.orientation = orientation();
    m_scale.inverted = invertedAppearance();
    m_scale.direction = layoutDirection();
    m_scale.upsideDown = opt.upsideDown;
    m_scale.groove =
        style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
    m_scale.handleHeight =
        style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this).height();
    return m_scale;
}

const QPixmap& TrackBar::Base(const QStyleOptionSlider& opt) {
    const BaseLook look{opt.rect,
                        static_cast<int>(opt.state),
                        opt.palette.cacheKey(),
                        opt.minimum,
                        opt.maximum,
                        opt.tickInterval,
                        opt.pageStep,
                        opt.singleStep,
                        static_cast<int>(opt.tickPosition),
                        opt.upsideDown};
    const qreal ratio = devicePixelRatioF();
    if (!m_backdrop.Refresh(*this) && !m_base.isNull() && look == m_baseLook &&
        m_base.devicePixelRatio() == ratio)
        return m_base;
    m_baseLook = look;
    m_base = QPixmap((QSizeF(size()) * ratio).toSize());
    m_base.setDevicePixelRatio(ratio);
    m_base.fill(Qt::transparent);
    QPainter painter(&m_base);
    DrawBase(painter, opt);
    return m_base;
}

// The groove is drawn here rather than by the style: styles fill it from one
// end to the thumb in the highlight colour, which would read as a second band.
void TrackBar::DrawBase(QPainter& painter, const QStyleOptionSlider& opt) {
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    m_backdrop.Draw(painter, *this, rect());
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
    const int width = std::max(4, groove.width() / 2);
    const QRect channel(groove.center().x() - width / 2, groove.top(), width, groove.height());
    painter.setPen(palette().color(QPalette::Mid));
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawRect(channel.adjusted(0, 0, -1, -1));

    QStyleOptionSlider ticks = opt;
    ticks.subControls = QStyle::SC_SliderTickmarks;
    style()->drawComplexControl(QStyle::CC_Slider, &ticks, &painter, this);
}

void TrackBar::paintEvent(QPaintEvent* event) {
    QStylePainter painter(this);
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    const QRect area = event->rect();

    // The backdrop, groove and ticks, then the band, and the thumb on top so
    // the band never hides the thumb the user drags.
    const QPixmap& base = Base(opt);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    Backdrop::DrawPart(painter, base, area.intersected(rect()));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);

    // In bands of rows, as the picture beneath: a fill of more rows is
    // handed to the raster engine's thread pool.
    const QRect band = selectionBandRect().intersected(area);
    const QColor colour = isEnabled() ? m_bandColor : GreyedColour(m_bandColor, palette());
    for (int top = band.top(); top <= band.bottom(); top += Backdrop::BandRows)
        painter.fillRect(QRect(band.left(), top, band.width(),
                               std::min(Backdrop::BandRows, band.bottom() - top + 1)),
                         colour);

    // Most repaints follow the band and lie clear of the thumb.
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
    if (handle.adjusted(-4, -4, 4, 4).intersects(area)) {
        opt.subControls = QStyle::SC_SliderHandle;
        painter.drawComplexControl(QStyle::CC_Slider, opt);
    }
}
