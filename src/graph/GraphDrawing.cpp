#include "GraphDrawing.h"

#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QPainter>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// Lines are rasterised here rather than by QPainter so that every pixel is
// known exactly: the end point stays unpainted and the pen pattern runs on.
class PixelWriter {
public:
    explicit PixelWriter(QImage& image)
        : m_bits(reinterpret_cast<QRgb*>(image.bits())),
          m_stride(static_cast<std::ptrdiff_t>(image.bytesPerLine() / sizeof(QRgb))),
          m_width(image.width()), m_height(image.height()) {}

    int width() const { return m_width; }
    int height() const { return m_height; }
    void set(int x, int y, QRgb colour) { m_bits[y * m_stride + x] = colour; }

private:
    QRgb* m_bits;
    std::ptrdiff_t m_stride;
    int m_width;
    int m_height;
};

const QRgb Black = qRgb(0, 0, 0);

const QFont& LabelFont() {
    static const QFont font(QStringLiteral("Tahoma"), 8);
    return font;
}

} // namespace

QImage NewGraphImage(int width, int height) {
    QImage image(std::max(width, 0), std::max(height, 0), QImage::Format_RGB32);
    image.setDotsPerMeterX(3780); // 96 dots per inch: 8-point text is 11 pixels high
    image.setDotsPerMeterY(3780);
    image.fill(GraphColours::Background);
    return image;
}

void DrawBackground(QImage& background, int screenHeight) {
    background.fill(GraphColours::Background);
    const QRgb grid = GraphColours::Grid.rgb();
    for (const LineSegment& line : BackgroundSegments(background.width(), screenHeight))
        DrawLine(background, line.A, line.B, grid);
}

void DrawLine(QImage& image, GraphPoint a, GraphPoint b, QRgb colour) {
    if (image.isNull())
        return;
    PixelWriter out(image);
    RasterizeLine(a, b, out.width(), out.height(),
                  [&](int x, int y, std::int64_t) { out.set(x, y, colour); });
}

namespace {

// A region's rectangles, kept flat: the tests made for every segment and
// every pixel must not go through the region's own calls.
class Parts {
public:
    explicit Parts(const QRegion& area) {
        for (const QRect& part : area)
            m_boxes.push_back(Box{part.left(), part.top(), part.right(), part.bottom()});
        const QRect bounds = area.boundingRect();
        m_bounds = Box{bounds.left(), bounds.top(), bounds.right(), bounds.bottom()};
    }

    bool Empty() const { return m_boxes.empty(); }

    bool Misses(GraphPoint a, GraphPoint b) const {
        if (m_bounds.Misses(a, b))
            return true;
        return m_boxes.size() > 1 && std::all_of(m_boxes.begin(), m_boxes.end(),
                                                 [&](const Box& box) { return box.Misses(a, b); });
    }

    bool Contains(int x, int y) const {
        return std::any_of(m_boxes.begin(), m_boxes.end(),
                           [&](const Box& box) { return box.Contains(x, y); });
    }

private:
    struct Box {
        int Left, Top, Right, Bottom;
        bool Misses(GraphPoint a, GraphPoint b) const {
            return std::max(a.X, b.X) < Left || std::min(a.X, b.X) > Right ||
                   std::max(a.Y, b.Y) < Top || std::min(a.Y, b.Y) > Bottom;
        }
        bool Contains(int x, int y) const {
            return x >= Left && x <= Right && y >= Top && y <= Bottom;
        }
    };
    std::vector<Box> m_boxes;
    Box m_bounds{};
};

// The steps RasterizeLine takes from `a` to `b`, without walking them.
std::int64_t LineSteps(GraphPoint a, GraphPoint b) {
    const std::int64_t dx = std::int64_t{b.X} - a.X;
    const std::int64_t dy = std::int64_t{b.Y} - a.Y;
    return std::max(dx < 0 ? -dx : dx, dy < 0 ? -dy : dy);
}

// The polyline as far as it falls inside `area` (which lies inside the
// image): exactly the pixels the whole polyline would set there.
void DrawPolylineIn(QImage& image, const Parts& area, const PointArray& points, QRgb colour,
                    bool dashDotDot) {
    if (image.isNull() || points.size() < 2 || area.Empty())
        return;
    PixelWriter out(image);
    std::int64_t patternStart = 0;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const GraphPoint a = points[i - 1];
        const GraphPoint b = points[i];
        if (area.Misses(a, b)) {
            patternStart += LineSteps(a, b);
            continue;
        }
        if (dashDotDot) {
            patternStart += RasterizeLine(
                a, b, out.width(), out.height(), [&](int x, int y, std::int64_t step) {
                    if (area.Contains(x, y))
                        out.set(x, y, DashDotDotInk(patternStart + step) ? colour : Black);
                });
        } else {
            RasterizeLine(a, b, out.width(), out.height(), [&](int x, int y, std::int64_t) {
                if (area.Contains(x, y))
                    out.set(x, y, colour);
            });
        }
    }
}

} // namespace

void DrawPolyline(QImage& image, const PointArray& points, QRgb colour, bool dashDotDot) {
    DrawPolylineIn(image, Parts(image.rect()), points, colour, dashDotDot);
}

void BeamData(const PointArray& ch1, const PointArray& ch2, const PointArray& ch3,
              const PointArray& ch4, const PointArray& ch5, const PointArray& ch6, QImage& screen,
              const QImage& background) {
    BeamData(ch1, ch2, ch3, ch4, ch5, ch6, screen, background, background.rect());
}

void BeamData(const PointArray& ch1, const PointArray& ch2, const PointArray& ch3,
              const PointArray& ch4, const PointArray& ch5, const PointArray& ch6, QImage& screen,
              const QImage& background, const QRegion& area) {
    QRegion redrawn = area.intersected(background.rect());
    if (screen.size() == background.size() && screen.format() == background.format() &&
        !screen.isNull() && screen.depth() == 32) {
        for (const QRect& part : redrawn) {
            const auto rowBytes = static_cast<std::size_t>(part.width()) * sizeof(QRgb);
            for (int y = part.top(); y <= part.bottom(); ++y)
                std::memcpy(reinterpret_cast<QRgb*>(screen.scanLine(y)) + part.left(),
                            reinterpret_cast<const QRgb*>(background.constScanLine(y)) +
                                part.left(),
                            rowBytes);
        }
    } else {
        screen = background.copy();
        redrawn = QRegion(screen.rect());
    }
    const Parts parts(redrawn);
    DrawPolylineIn(screen, parts, ch1, GraphColours::Mw.rgb(), false);
    DrawPolylineIn(screen, parts, ch2, GraphColours::Pir1.rgb(), false);
    DrawPolylineIn(screen, parts, ch3, GraphColours::Pir2.rgb(), false);
    DrawPolylineIn(screen, parts, ch4, GraphColours::MwReference.rgb(), true);
    DrawPolylineIn(screen, parts, ch5, GraphColours::Pir1Reference.rgb(), true);
    DrawPolylineIn(screen, parts, ch6, GraphColours::Pir2Reference.rgb(), true);
}

namespace {

// Laying out a label's text costs far more than drawing it, and the same few
// labels are drawn at every status: each is drawn once, box and text, into a
// picture of its box, and copied from there.
const QImage& LabelPicture(const QString& text, const QImage& screen) {
    // By resolution, then by text: looked up at every status, without
    // making a key.
    static QHash<std::pair<int, int>, QHash<QString, QImage>> byResolution;
    QHash<QString, QImage>& pictures =
        byResolution[{screen.dotsPerMeterX(), screen.dotsPerMeterY()}];
    auto found = pictures.constFind(text);
    if (found != pictures.constEnd())
        return *found;
    const QFontMetrics metrics(LabelFont(), &screen);
    QImage picture(std::max(metrics.horizontalAdvance(text), 0), metrics.height(),
                   QImage::Format_RGB32);
    picture.setDotsPerMeterX(screen.dotsPerMeterX());
    picture.setDotsPerMeterY(screen.dotsPerMeterY());
    picture.fill(GraphColours::LabelBox);
    if (!picture.isNull()) {
        QPainter painter(&picture);
        painter.setFont(LabelFont());
        painter.setPen(Qt::black);
        painter.drawText(0, metrics.ascent(), text);
    }
    return *pictures.insert(text, picture);
}

// Copies `picture` into `screen` with its top-left corner at (x, y), as far
// as it falls inside, and returns where.
QRect CopyInto(QImage& screen, const QImage& picture, int x, int y) {
    const QRect target = QRect(x, y, picture.width(), picture.height()).intersected(screen.rect());
    if (target.isEmpty())
        return target;
    const auto rowBytes = static_cast<std::size_t>(target.width()) * sizeof(QRgb);
    for (int row = target.top(); row <= target.bottom(); ++row) {
        const auto* from = reinterpret_cast<const QRgb*>(picture.constScanLine(row - y));
        std::memcpy(reinterpret_cast<QRgb*>(screen.scanLine(row)) + target.left(),
                    from + (target.left() - x), rowBytes);
    }
    return target;
}

} // namespace

QRegion DrawTraceLabels(QImage& screen, const TraceLabel* labels, int count) {
    QRegion covered;
    if (screen.isNull() || screen.depth() != 32)
        return covered;
    for (int i = 0; i < count; ++i)
        covered |= CopyInto(screen, LabelPicture(labels[i].Text, screen), labels[i].X, labels[i].Y);
    return covered;
}
