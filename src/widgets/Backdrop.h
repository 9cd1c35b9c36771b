#pragma once

#include <QPixmap>
#include <QRect>
#include <QSize>

#include <vector>

class QEvent;
class QPainter;
class QRegion;
class QStyle;
class QWidget;

// What shows through a widget where it leaves pixels unpainted: its
// ancestors' own drawing and that of the siblings beneath it, in its
// rectangle.
//
// A widget that is not opaque makes every change inside it repaint each
// widget beneath it too, up to the window, and flush all of that. A readout
// that changes with every live status draws its backdrop first, paints all
// its pixels that way and can declare itself opaque (Qt::WA_OpaquePaintEvent):
// its changes then repaint it alone, pixel for pixel as before.
//
// The picture is taken once and again only when something it depends on
// changed: the widget's place and size in its window, or the palette, size,
// enabled state or style of an ancestor, or the place of a sibling beneath.
// A sibling beneath that changes its drawing without moving is not noticed;
// the widgets that use this have none that does.
class Backdrop {
public:
    // Draws the backdrop of `widget` in `area` (widget coordinates; the
    // bounds of what is being painted) with `painter` on `widget`.
    void Draw(QPainter& painter, QWidget& widget, const QRect& area);
    // The raster engine hands a fill or copy of more rows than about a
    // hundred to its thread pool; waking its threads costs more than drawing
    // a readout. Readouts copy and fill in bands of at most this many rows.
    static constexpr int BandRows = 64;
    // Copies `area` (widget coordinates) of `picture`, drawn at the
    // widget's top-left, with `painter`.
    static void DrawPart(QPainter& painter, const QPixmap& picture, const QRect& area);
    // Takes the picture again where it no longer matches; true when it did.
    bool Refresh(QWidget& widget);
    // To be called after the widget's own event(): a style clears the
    // opaque flag whenever it polishes a widget, so it is set again then.
    static void KeepOpaque(QWidget& widget, const QEvent& event);

private:
    struct Layer {
        const QWidget* widget;
        qint64 palette;
        QRect geometry;
        bool enabled;
        bool visible;
        friend bool operator==(const Layer&, const Layer&) = default;
    };
    std::vector<Layer> Look(QWidget& widget) const;
    void Take(QWidget& widget);

    std::vector<Layer> m_look;
    const QStyle* m_style = nullptr;
    bool m_active = false;
    qreal m_ratio = 0;
    QPixmap m_picture;
};
