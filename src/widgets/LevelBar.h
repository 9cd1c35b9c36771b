#pragma once

#include "Backdrop.h"

#include <QProgressBar>

// A progress bar that shows a level the live view changes many times a
// second.
//
// QProgressBar paints at once whenever a new value moves its fill far
// enough, and a bar is not opaque: each such change also paints everything
// beneath the bar and flushes the window, bar by bar. A level bar applies
// the same rule for when a change must be seen, but leaves the drawing to the
// one paint pass the event loop makes after the whole status is shown. It
// paints all its pixels, what lies beneath it included (Backdrop), so that
// pass repaints the bar alone.
class LevelBar : public QProgressBar {
    Q_OBJECT
public:
    explicit LevelBar(QWidget* parent = nullptr);

    // `value` must lie within the range.
    void SetLevel(int value);

    QString text() const override;

protected:
    void initStyleOption(QStyleOptionProgressBar* option) const override;
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool MustBeSeen(int value);
    QRect ChangedArea(int from, int to) const;

    Backdrop m_backdrop;
    bool m_settingValue = false;
    int m_paintedLevel = 0;
    bool m_painted = false;
    // The groove's length and the style's chunk width, asked of the style
    // again only when something they depend on changed.
    struct Groove {
        QSize size;
        Qt::Orientation orientation = Qt::Horizontal;
        bool textVisible = false;
        const QStyle* style = nullptr;
        int length = 0;
        int chunkWidth = 1;
    };
    Groove m_groove;
};
