#include "LevelBar.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionProgressBar>

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
    if (!updatesEnabled() || !MustBeSeen(value)) {
        setValue(value);
        return;
    }
    setUpdatesEnabled(false);
    setValue(value);
    setUpdatesEnabled(true); // asks for the bar to be drawn with the next paint pass
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
