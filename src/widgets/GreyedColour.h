#pragma once

#include <QColor>
#include <QPalette>

// How a readout's colour looks while the readout is disabled because what it
// shows is no longer live: washed out towards the window's background, so
// that a lit lamp or a band can still be read but never passes for a live one.
QColor GreyedColour(const QColor& colour, const QPalette& palette);
