#pragma once

#include "Backdrop.h"

#include <QPixmap>
#include <QSlider>

class QStyleOptionSlider;

// Vertical track bar with a selection band. The groove is drawn plain and the
// band in a colour of its own, so the band reads as the one coloured bar
// beside the thumb. The axis is inverted: the
// position (QSlider::value) grows downward, minimum at the top, so a value
// that should grow upward is stored as maximum + minimum - position.
// valueChanged fires on user and program changes, including a setRange that
// clamps the position; an unchanged value emits nothing.
//
// The bar paints all its pixels, what lies beneath it included (Backdrop), so
// that a band that follows every live status repaints the bar alone.
class TrackBar : public QSlider {
    Q_OBJECT
    Q_PROPERTY(int selStart READ selStart WRITE setSelStart)
    Q_PROPERTY(int selEnd READ selEnd WRITE setSelEnd)
    Q_PROPERTY(QColor bandColor READ bandColor WRITE setBandColor)
public:
    explicit TrackBar(QWidget* parent = nullptr);

    int selStart() const { return m_selStart; }
    int selEnd() const { return m_selEnd; }
    void setSelStart(int position);
    void setSelEnd(int position);
    QColor bandColor() const { return m_bandColor; }
    void setBandColor(const QColor& colour);

    // Where the band is drawn, in widget coordinates; empty when the band is
    // empty or lies wholly outside the range.
    QRect selectionBandRect() const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void RepaintBandChange(const QRect& before);

    // Where the scale lies: asked of the style only when something it
    // depends on changed, since the band follows every live status.
    struct Scale {
        QSize size;
        const QStyle* style = nullptr;
        TickPosition ticks = NoTicks;
        Qt::Orientation orientation = Qt::Vertical;
        bool inverted = false;
        Qt::LayoutDirection direction = Qt::LeftToRight;
        bool upsideDown = false;
        QRect groove;
        int handleHeight = 0;
    };
    const Scale& CurrentScale() const;
    mutable Scale m_scale;

    // What lies beneath the band: the backdrop, the plain groove and the
    // ticks, drawn once per look; the band and the thumb go on top.
    struct BaseLook {
        QRect rect;
        int state = 0;
        qint64 palette = 0;
        int minimum = 0, maximum = 0, tickInterval = 0, pageStep = 0, singleStep = 0;
        int tickPosition = 0;
        bool upsideDown = false;
        friend bool operator==(const BaseLook&, const BaseLook&) = default;
    };
    const QPixmap& Base(const QStyleOptionSlider& option);
    void DrawBase(QPainter& painter, const QStyleOptionSlider& option);
    QPixmap m_base;
    BaseLook m_baseLook;

    Backdrop m_backdrop;
    int m_selStart = 0;
    int m_selEnd = 0;
    // Amber: apart from the blue of the level bars and the gray of the thumb.
    QColor m_bandColor{232, 140, 0};
};
