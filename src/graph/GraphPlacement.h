#pragma once

#include <QPoint>
#include <QRect>

// Where the graph window opens: at its usual place on the main window's
// screen when it fits there, otherwise moved the least that brings its whole
// frame into the screen's available area, keeping clear of `keepClear` (the
// main window's status bar) when some such place exists.
//
// `usual` is the frame's top-left as wanted, `frameSize` the frame's size
// (title bar and borders included), `available` the screen's area free of
// task bars. The result is the frame's top-left.
QPoint PlaceGraphFrame(QPoint usual, QSize frameSize, const QRect& available,
                       const QRect& keepClear);
