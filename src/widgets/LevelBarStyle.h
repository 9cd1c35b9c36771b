#pragma once

#include <QProxyStyle>

// The application's style for level bars, except that a bar at its minimum
// draws no fill at all. Styles draw the edge of the fill even when it is
// empty, which leaves a coloured line at the low end of an idle level bar
// that reads as a small level.
class LevelBarStyle : public QProxyStyle {
    Q_OBJECT
public:
    // The style lives as long as `owner`; the bars that use it must not
    // outlive it.
    explicit LevelBarStyle(QObject* owner);

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
};
