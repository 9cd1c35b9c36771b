#pragma once

class QAction;

// Binds a menu or action bar item to the action it stands for, the way a
// bound item behaves: it takes the action's caption whenever that caption
// changes (keeping its own display caption until then), takes the action's
// enabled state whenever that changes, and runs the action when triggered.
// The item can still be enabled or disabled directly; the last change wins.
void MirrorAction(QAction* item, QAction* action);
