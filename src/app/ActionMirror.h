#pragma once

#include <QString>

class QAction;

// A caption with its first mnemonic marker only. Only the first one is a
// key, and screen readers announce every later "&" as it stands
// ("Save &Config..."), so an item shows the caption this way.
QString CaptionWithOneMarker(const QString& caption);

// Binds a menu or action bar item to the action it stands for, the way a
// bound item behaves: it takes the action's caption whenever that caption
// changes (keeping its own display caption until then), takes the action's
// enabled state whenever that changes, and runs the action when triggered.
// Captions are shown with their first mnemonic marker only.
// The item can still be enabled or disabled directly; the last change wins.
void MirrorAction(QAction* item, QAction* action);
