#include "LevelBar.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionProgressBar>

#include <algorithm>
#include <cstdlib>

LevelBar::LevelBar(QWidget* parent) : QProgressBar(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool LevelBar::event(QEvent* event) {
    const bool handled = QProgressBar::event(event);
    Backdrop::KeepOpaque(*this, *event);
    return handled;
}

void LevelBar::SetLevel(int value) {
    if (value == this->value())
        return;
    if (!updatesEnabled()) {
        setValue(value);
        return;
    }
    const bool seen = MustBeSeen(value);
    // QProgressBar::setValue would ask the style again what MustBeSeen just
    // answered, and paint the whole bar at once if so. With updates off it
    // only asks, and initStyleOption below keeps the asking cheap.
    m_settingValue = true;
    setUpdatesEnabled(false);
    setValue(value);
    m_settingValue = false;
    // Enabled again without the update of the whole bar that
    // setUpdatesEnabled(true) asks for: only the rows between the fill's end
    // as painted and as it is now change.
    setAttribute(Qt::WA_ForceUpdatesDisabled, false);
    setAttribute(Qt::WA_UpdatesDisabled, false);
    if (seen)
        update(m_painted ? ChangedArea(m_paintedLevel, value) : rect());
}

// A level bar shows no text, and QProgressBar works out its percentage (a
// locale's number conversions) for every new value all the same.
QString LevelBar::text() const {
    return isTextVisible() ? QProgressBar::text() : QString();
}

// While SetLevel hands the value to QProgressBar, the option it builds only
// feeds a repaint decision that is thrown away (updates are off): the
// widget's palette, font and state need not be gathered for it.
void LevelBar::initStyleOption(QStyleOptionProgressBar* option) const {
    if (m_settingValue && option) {
        option->rect = rect();
        option->minimum = minimum();
        option->maximum = maximum();
        option->progress = value();
        return;
    }
    QProgressBar::initStyleOption(option);
}

// A bar fills from the bottom, or from the left; its fill looks the same
// along its length (the shading runs across the bar), so a move of its end
// changes the rows (or columns) around the old and the new end and nothing
// else. The margin holds the rounded end and its edge lines. An empty bar's
// end is where it starts, so a bar that becomes or leaves empty changes the
// rows from there to the other end: an idle channel often falls to zero. A
// full bar is drawn over the groove's ends, so a bar that becomes or leaves
// full, and any other bar (text, inverted, right to left), is drawn whole.
QRect LevelBar::ChangedArea(int from, int to) const {
    const long long steps = static_cast<long long>(maximum()) - minimum();
    const bool vertical = orientation() == Qt::Vertical;
    if (isTextVisible() || invertedAppearance() || steps <= 0 || from == maximum() ||
        to == maximum() || (!vertical && layoutDirection() == Qt::RightToLeft))
        return rect();
    const long long length = vertical ? height() : width();
    // Pixels from the start of the fill to its end.
    const auto end = [&](int level) {
        return static_cast<int>((static_cast<long long>(level) - minimum()) * length / steps);
    };
    constexpr int Margin = 6;
    const int low = std::min(end(from), end(to)) - Margin;
    const int high = std::max(end(from), end(to)) + Margin;
    const QRect area = vertical ? QRect(0, height() - 1 - high, width(), high - low + 1)
                                : QRect(low, 0, high - low + 1, height());
    return area.intersected(rect());
}

// QProgressBar's own rule: the ends of the range, a text that shows the
// value, or a fill that moved by more than a chunk.
bool LevelBar::MustBeSeen(int value) {
    if (!m_painted)
        return true;
    if (value == m_paintedLevel)
        return false;
    if (value == minimum() || value == maximum())
        return true;
    const long long difference = std::llabs(static_cast<long long>(value) - m_paintedLevel);
    const long long steps = static_cast<long long>(maximum()) - minimum();
    if (isTextVisible()) {
        if (format().contains(QLatin1String("%v")))
            return true;
        if (format().contains(QLatin1String("%p")) && difference >= std::llabs(steps / 100))
            return true;
    }
    Groove& g = m_groove;
    if (g.style != style() || g.size != size() || g.orientation != orientation() ||
        g.textVisible != isTextVisible()) {
        QStyleOptionProgressBar option;
        initStyleOption(&option);
        const QRect groove = style()->subElementRect(QStyle::SE_ProgressBarGroove, &option, this);
        g = {size(),
             orientation(),
             isTextVisible(),
             style(),
             orientation() == Qt::Horizontal ? groove.width() : groove.height(),
             style()->pixelMetric(QStyle::PM_ProgressBarChunkWidth, &option, this)};
    }
    return difference * g.length > g.chunkWidth * steps;
}

void LevelBar::paintEvent(QPaintEvent* event) {
    m_paintedLevel = value();
    m_painted = true;
    {
        QPainter painter(this);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        m_backdrop.Draw(painter, *this, event->rect());
    }
    QProgressBar::paintEvent(event);
}

void LevelBar::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange)
        m_groove.style = nullptr;
    QProgressBar::changeEvent(event);
}
