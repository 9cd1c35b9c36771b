#include "GraphPlacement.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

// The nearest top-left to `at` that keeps a frame of `size` inside `area`.
// A frame larger than the area keeps its top-left corner visible.
QPoint Inside(QPoint at, QSize size, const QRect& area) {
    const int x = std::max(area.left(), std::min(at.x(), area.right() + 1 - size.width()));
    const int y = std::max(area.top(), std::min(at.y(), area.bottom() + 1 - size.height()));
    return {x, y};
}

} // namespace

QPoint PlaceGraphFrame(QPoint usual, QSize frameSize, const QRect& available,
                       const QRect& keepClear) {
    const QPoint fitted = Inside(usual, frameSize, available);
    if (fitted == usual || keepClear.isEmpty())
        return fitted;
    const auto clear = [&](QPoint at) { return !QRect(at, frameSize).intersects(keepClear); };
    if (clear(fitted))
        return fitted;

    // Beside the status bar on each of its four sides, each brought inside
    // the screen; of those that stay clear, the one nearest the usual place.
    const std::vector<QPoint> beside{
        {fitted.x(), keepClear.top() - frameSize.height()},
        {fitted.x(), keepClear.bottom() + 1},
        {keepClear.left() - frameSize.width(), fitted.y()},
        {keepClear.right() + 1, fitted.y()},
    };
    QPoint best = fitted;
    long bestDistance = -1;
    for (const QPoint& candidate : beside) {
        const QPoint at = Inside(candidate, frameSize, available);
        if (!clear(at))
            continue;
        const long distance =
            std::labs(long{at.x()} - usual.x()) + std::labs(long{at.y()} - usual.y());
        if (bestDistance < 0 || distance < bestDistance) {
            best = at;
            bestDistance = distance;
        }
    }
    return best;
}
