#include "GraphFeed.h"

#include <algorithm>

namespace {

void ReferenceLine(PointArray& ref, const PointArray& trace, bool direct, std::uint16_t level,
                   std::int32_t offset) {
    if (direct) {
        std::fill(ref.begin(), ref.end(), GraphPoint{0, 0});
        return;
    }
    const std::int32_t row = ReferenceRow(level, offset);
    const std::size_t n = std::min(ref.size(), trace.size());
    for (std::size_t i = 0; i < n; ++i)
        ref[i] = GraphPoint{trace[i].X, row};
}

void TracePoint(PointArray& trace, int pointIndex, std::int32_t baseRow, std::uint16_t level) {
    if (pointIndex >= 0 && static_cast<std::size_t>(pointIndex) < trace.size())
        trace[static_cast<std::size_t>(pointIndex)].Y = TraceRow(baseRow, level);
}

} // namespace

void FeedGraph(const std::array<PointArray*, 6>& a, int pointIndex, const LiveStatus& s,
               bool direct) {
    ReferenceLine(*a[3], *a[0], direct, s.MwRefLevel(), 0);
    TracePoint(*a[0], pointIndex, MwRow, direct ? s.MwDirectLevel() : s.MwLevel());
    ReferenceLine(*a[4], *a[1], direct, s.Pir1RefLevel(), MwRow);
    TracePoint(*a[1], pointIndex, Pir1Row, direct ? s.Pir1DirectLevel() : s.Pir1Level());
    ReferenceLine(*a[5], *a[2], direct, s.Pir2RefLevel(), Pir1Row);
    TracePoint(*a[2], pointIndex, Pir2Row, direct ? s.Pir2DirectLevel() : s.Pir2Level());
}

bool NewestPointLabels(const PointArray& ch1, const PointArray& ch2, const PointArray& ch3,
                       int pointIndex, std::array<TraceLabel, 3>& labels) {
    if (pointIndex < 0 ||
        static_cast<std::size_t>(pointIndex) >= std::min({ch1.size(), ch2.size(), ch3.size()}))
        return false;
    const auto i = static_cast<std::size_t>(pointIndex);
    labels = {TraceLabel{QStringLiteral("MW"), ch1[i].X + 1, ch1[i].Y + 1},
              TraceLabel{QStringLiteral("UP PIR"), ch2[i].X + 1, ch2[i].Y + 1},
              TraceLabel{QStringLiteral("DOWN PIR"), ch3[i].X + 1, ch3[i].Y + 1}};
    return true;
}

SweepGraph::SweepGraph(int width, int height) : m_background(NewGraphImage(width, height)) {
    const std::int32_t rows[6] = {MwRow, Pir1Row, Pir2Row, MwRow, Pir1Row, Pir2Row};
    for (std::size_t k = 0; k < m_points.size(); ++k)
        SetUpArray(m_points[k], width, rows[k]);
    DrawBackground(m_background, height);
}

void SweepGraph::Feed(const LiveStatus& status) {
    const int count = static_cast<int>(m_points[0].size());
    if (m_pointIndex >= count)
        m_pointIndex = 0;
    FeedGraph({&m_points[0], &m_points[1], &m_points[2], &m_points[3], &m_points[4], &m_points[5]},
              m_pointIndex, status, false);
    ++m_statuses;
    ++m_pointIndex;
}

QImage SweepGraph::Picture() const {
    QImage screen = m_background.copy();
    const auto& p = m_points;
    BeamData(p[0], p[1], p[2], p[3], p[4], p[5], screen, m_background);
    std::array<TraceLabel, 3> labels;
    // The labels follow the newest point, as in the window after a status.
    if (m_statuses > 0 && NewestPointLabels(p[0], p[1], p[2], m_pointIndex - 1, labels))
        DrawTraceLabels(screen, labels.data(), static_cast<int>(labels.size()));
    return screen;
}
