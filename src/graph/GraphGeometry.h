#pragma once

#include <cstdint>
#include <vector>

// Geometry of the signal graph: the point arrays, the background grid and
// the rasterisation of 1-pixel lines. No drawing surface is involved, so all
// of it can be checked pixel by pixel without a window.

struct GraphPoint {
    std::int32_t X = 0;
    std::int32_t Y = 0;
    friend bool operator==(const GraphPoint&, const GraphPoint&) = default;
};

using PointArray = std::vector<GraphPoint>;

// Zero rows of the three value traces (and initial rows of their reference
// lines): three bands 80 pixels high, microwave on top.
inline constexpr std::int32_t MwRow = 80;
inline constexpr std::int32_t Pir1Row = 160;
inline constexpr std::int32_t Pir2Row = 240;

// Gives `points` the length `count` with point i = (i, row).
void SetUpArray(PointArray& points, int count, std::int32_t row);

// The "Clear" command: flattens the three value traces to their rows for the
// first `len` points; the reference line `ch4` is deliberately left alone
// (the next live status recomputes it). A `len` longer than an array is
// limited to that array.
void delArray(PointArray& ch1, PointArray& ch2, PointArray& ch3, PointArray& ch4, const int& len);

// Pixel columns Left..Right and rows Top..Bottom, all included; empty when
// Left > Right.
struct PixelBox {
    int Left = 1;
    int Top = 1;
    int Right = 0;
    int Bottom = 0;
    bool Empty() const { return Left > Right; }
    friend bool operator==(const PixelBox&, const PixelBox&) = default;
};

// The box around the pixels that can look different when the line through
// `after` is drawn instead of the one through `before`, on the same
// background: those of the segments that touch a moved point and, for a
// dash-dot-dot line, of every segment after the first moved point, because
// the pattern runs on along the line. A segment sets pixels only inside the
// box of its two ends, before and after. Arrays of different lengths can
// differ anywhere.
PixelBox ChangedPixels(const PointArray& before, const PointArray& after, bool dashDotDot);

struct LineSegment {
    GraphPoint A;
    GraphPoint B;
    friend bool operator==(const LineSegment&, const LineSegment&) = default;
};

// Centre row and centre column of the background, each half the size rounded
// half to even.
int CentreRow(int screenHeight);
int CentreColumn(int width);

// The grid lines of the background in drawing order: 48 horizontal lines, the
// 100 ticks of the centre scale, 16 long and 100 short vertical lines. Lines
// may extend beyond the image; drawing clips them.
std::vector<LineSegment> BackgroundSegments(int width, int screenHeight);

// Walks the pixels of the line from `a` to `b`: `a` and every pixel up to but
// not including `b`. Steps run along the longer axis; the other coordinate is
// the exact one rounded (halves away from `a`). `plot(x, y, step)` is called
// only for pixels inside [0, width) x [0, height); `step` counts from `a`, so
// a pen pattern stays anchored to the line even where it is clipped.
// Returns the number of steps of the whole line (clipped or not).
template <class Plot>
std::int64_t RasterizeLine(GraphPoint a, GraphPoint b, int width, int height, Plot&& plot) {
    const std::int64_t dx = std::int64_t{b.X} - a.X;
    const std::int64_t dy = std::int64_t{b.Y} - a.Y;
    const std::int64_t adx = dx < 0 ? -dx : dx;
    const std::int64_t ady = dy < 0 ? -dy : dy;
    const bool xMajor = adx >= ady;
    const std::int64_t steps = xMajor ? adx : ady;
    if (steps == 0 || width <= 0 || height <= 0)
        return steps;

    const std::int64_t major0 = xMajor ? a.X : a.Y;
    const std::int64_t minor0 = xMajor ? a.Y : a.X;
    const int majorDir = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const int minorDir = (xMajor ? dy : dx) < 0 ? -1 : 1;
    const std::int64_t minorDelta = xMajor ? ady : adx;
    const std::int64_t majorSize = xMajor ? width : height;
    const std::int64_t minorSize = xMajor ? height : width;

    // Only the steps whose major coordinate lies inside the image.
    std::int64_t first = 0;
    std::int64_t last = steps; // exclusive
    if (majorDir > 0) {
        if (major0 < 0)
            first = -major0;
        if (majorSize - major0 < last)
            last = majorSize - major0;
    } else {
        if (major0 >= majorSize)
            first = major0 - majorSize + 1;
        if (major0 + 1 < last)
            last = major0 + 1;
    }
    for (std::int64_t k = first; k < last; ++k) {
        const std::int64_t offset = (2 * k * minorDelta + steps) / (2 * steps);
        const std::int64_t minor = minor0 + minorDir * offset;
        if (minor < 0 || minor >= minorSize)
            continue;
        const std::int64_t major = major0 + majorDir * k;
        if (xMajor)
            plot(static_cast<int>(major), static_cast<int>(minor), k);
        else
            plot(static_cast<int>(minor), static_cast<int>(major), k);
    }
    return steps;
}

// Dash-dot-dot pen: a dash of 9 pixels, then two dots of 3, each followed by
// a gap of 3; the pattern repeats every 24 pixels.
inline constexpr int DashDotDotPeriod = 24;
bool DashDotDotInk(std::int64_t position);
