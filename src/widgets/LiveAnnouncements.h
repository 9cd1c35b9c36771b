#pragma once

class QAccessibleEvent;
class QWidget;

// Readouts that change with every live status (levels, readings, the link's
// activity) would each tell a screen reader of a new value 26 times a second:
// far more than a person can listen to, and each a message on the
// accessibility bus. Once the limit is installed, a live readout announces a
// change of its value or text at most once per interval: the first at once,
// later ones as the latest value when the interval is over, and every one at
// once while the readout has the keyboard focus. Every progress bar counts as
// a live readout; other widgets are marked. Names, descriptions (a lamp's
// state) and states are announced as they change.
void MarkLiveReadout(QWidget* widget);
// For the whole program; installing it again only sets the interval.
void InstallLiveAnnouncementLimit(int intervalMs = 1000);
// What the toolkit does with an accessibility event once the limit is
// installed (and a bridge listens): told on, deferred or dropped.
void TellWithinLiveLimit(QAccessibleEvent* event);
