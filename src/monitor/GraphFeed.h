#pragma once

#include "GraphDrawing.h"
#include "GraphGeometry.h"
#include "LiveStatus.h"

#include <QImage>

#include <array>

// The graph's share of one live status, free of any window: the three
// reference lines are recomputed whole ("Direct Convert" hides them by
// collapsing every point onto the origin), and each value trace gets one new
// point at `pointIndex`. An index outside an array writes nothing there.
// `arrays` holds Ch1Points .. Ch6Points.
void FeedGraph(const std::array<PointArray*, 6>& arrays, int pointIndex, const LiveStatus& status,
               bool direct);

// The labels "MW", "UP PIR" and "DOWN PIR" just below and right of the point
// at `pointIndex` of each value trace; false when the index lies outside any
// of the three.
bool NewestPointLabels(const PointArray& ch1, const PointArray& ch2, const PointArray& ch3,
                       int pointIndex, std::array<TraceLabel, 3>& labels);

// A graph of the size the graph window opens with, fed with statuses where
// no window exists (the command line): the same arrays, background, traces
// and labels that the window would show after the same statuses.
class SweepGraph {
public:
    SweepGraph(int width, int height);

    void Feed(const LiveStatus& status);
    int Statuses() const { return m_statuses; }
    // The picture as the window would show it now.
    QImage Picture() const;

private:
    std::array<PointArray, 6> m_points;
    QImage m_background;
    int m_pointIndex = 0;
    int m_statuses = 0;
};
