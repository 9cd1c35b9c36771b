#pragma once

#include "GraphGeometry.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QRegion>
#include <QString>

// Drawing of the graph into off-screen images. Only QtGui is used, so the
// pictures can be produced and inspected without any window.

namespace GraphColours {
inline const QColor Background{0, 0, 0};
inline const QColor Grid{40, 40, 40};
inline const QColor Mw{0, 255, 0};
inline const QColor Pir1{128, 0, 0};
inline const QColor Pir2{128, 0, 0};
// Slightly off the microwave green so that the two can be told apart.
inline const QColor MwReference{0, 255, 15};
inline const QColor Pir1Reference{207, 128, 0};
inline const QColor Pir2Reference{253, 131, 9};
inline const QColor LabelBox{0, 255, 255};
} // namespace GraphColours

// An image in the format the graph draws into.
QImage NewGraphImage(int width, int height);

// Fills `background` black and draws the grid into it; `screenHeight` is the
// height of the shown image, which places the band of short vertical lines.
void DrawBackground(QImage& background, int screenHeight);

// One 1-pixel line or polyline, solid or dash-dot-dot with black gaps.
void DrawLine(QImage& image, GraphPoint a, GraphPoint b, QRgb colour);
void DrawPolyline(QImage& image, const PointArray& points, QRgb colour, bool dashDotDot);

// Redraws the shown image: a copy of the background, then the three value
// traces solid and the three reference lines dash-dot-dot, in that order.
void BeamData(const PointArray& ch1, const PointArray& ch2, const PointArray& ch3,
              const PointArray& ch4, const PointArray& ch5, const PointArray& ch6, QImage& screen,
              const QImage& background);
// The same for the part `area` of the image only: there it gives exactly the
// pixels of a whole redraw, and it leaves the rest as it is.
void BeamData(const PointArray& ch1, const PointArray& ch2, const PointArray& ch3,
              const PointArray& ch4, const PointArray& ch5, const PointArray& ch6, QImage& screen,
              const QImage& background, const QRegion& area);

// A trace label: `text` in black on an opaque aqua box whose top-left corner
// is (x, y).
struct TraceLabel {
    QString Text;
    int X = 0;
    int Y = 0;
};
// Returns the part of `screen` the boxes cover, box by box.
QRegion DrawTraceLabels(QImage& screen, const TraceLabel* labels, int count);
