#include "GraphGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

void SetUpArray(PointArray& points, int count, std::int32_t row) {
    points.resize(static_cast<std::size_t>(std::max(count, 0)));
    for (std::size_t i = 0; i < points.size(); ++i)
        points[i] = GraphPoint{static_cast<std::int32_t>(i), row};
}

void delArray(PointArray& ch1, PointArray& ch2, PointArray& ch3, PointArray& /*ch4*/,
              const int& len) {
    const auto flatten = [&len](PointArray& points, std::int32_t row) {
        const std::size_t n = std::min(points.size(), static_cast<std::size_t>(std::max(len, 0)));
        for (std::size_t i = 0; i < n; ++i)
            points[i] = GraphPoint{static_cast<std::int32_t>(i), row};
    };
    flatten(ch1, MwRow);
    flatten(ch2, Pir1Row);
    flatten(ch3, Pir2Row);
}

int CentreRow(int screenHeight) {
    return static_cast<int>(std::lrint(screenHeight / 2.0));
}

int CentreColumn(int width) {
    return static_cast<int>(std::lrint(width / 2.0));
}

std::vector<LineSegment> BackgroundSegments(int width, int screenHeight) {
    std::vector<LineSegment> lines;
    lines.reserve(48 + 100 + 16 + 100);
    const int cy = CentreRow(screenHeight);

    for (int i = 1; i <= 48; ++i)
        lines.push_back({{0, 10 * i}, {width, 10 * i}});

    const int cx = CentreColumn(width);
    for (int i = 1; i <= 100; ++i) {
        const int y = 4 * i;
        if (i % 5 == 0)
            lines.push_back({{cx - 4, y}, {cx + 5, y}});
        else
            lines.push_back({{cx - 2, y}, {cx + 3, y}});
    }

    // Both vertical families are spaced by a hundredth of the width, so the
    // grid keeps its proportions when the window is resized.
    const double s = width / 100.0;
    for (int i = 1; i <= 16; ++i) {
        const auto x = static_cast<std::int32_t>(std::lrint(i * s * 10));
        lines.push_back({{x, 0}, {x, width}});
    }
    for (int i = 1; i <= 100; ++i) {
        const auto x = static_cast<std::int32_t>(std::lrint(i * s));
        lines.push_back({{x, cy - 120}, {x, cy + 120}});
    }
    return lines;
}

bool DashDotDotInk(std::int64_t position) {
    const std::int64_t p = position % DashDotDotPeriod;
    return p < 9 || (p >= 12 && p < 15) || (p >= 18 && p < 21);
}

namespace {

// The arrays are compared at every status, and most of them, or all, match:
// whole blocks at a time, then point by point in the block that differs.
static_assert(std::has_unique_object_representations_v<GraphPoint>);
constexpr std::size_t CompareBlock = 32;

bool BlocksMatch(const PointArray& a, const PointArray& b, std::size_t from) {
    return std::memcmp(a.data() + from, b.data() + from, CompareBlock * sizeof(GraphPoint)) == 0;
}

// The first index from the front where the arrays (of one size) differ; their
// size where they do not.
std::size_t FirstDifference(const PointArray& a, const PointArray& b) {
    std::size_t i = 0;
    while (i + CompareBlock <= a.size() && BlocksMatch(a, b, i))
        i += CompareBlock;
    while (i < a.size() && a[i] == b[i])
        ++i;
    return i;
}

// The last index where they differ, for arrays known to differ.
std::size_t LastDifference(const PointArray& a, const PointArray& b) {
    std::size_t end = a.size(); // all from here on match
    while (end >= CompareBlock && BlocksMatch(a, b, end - CompareBlock))
        end -= CompareBlock;
    std::size_t last = end - 1;
    while (a[last] == b[last])
        --last;
    return last;
}

} // namespace

PixelBox ChangedPixels(const PointArray& before, const PointArray& after, bool dashDotDot) {
    constexpr int Low = std::numeric_limits<int>::min();
    constexpr int High = std::numeric_limits<int>::max();
    if (before.size() != after.size())
        return {Low, Low, High, High};
    const std::size_t n = after.size();
    std::size_t first = FirstDifference(before, after);
    if (first == n)
        return {};
    std::size_t last = LastDifference(before, after);
    first = first > 0 ? first - 1 : 0;
    last = dashDotDot ? n - 1 : std::min(last + 1, n - 1);
    PixelBox box{High, High, Low, Low};
    for (std::size_t i = first; i <= last; ++i) {
        box.Left = std::min({box.Left, before[i].X, after[i].X});
        box.Top = std::min({box.Top, before[i].Y, after[i].Y});
        box.Right = std::max({box.Right, before[i].X, after[i].X});
        box.Bottom = std::max({box.Bottom, before[i].Y, after[i].Y});
    }
    return box;
}
