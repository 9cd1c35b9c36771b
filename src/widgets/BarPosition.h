#pragma once

class QProgressBar;

// QProgressBar ignores a value outside its range; a level bar must instead
// show such a value at its nearest end. A LevelBar is drawn with the next
// paint pass.
void SetBarPosition(QProgressBar* bar, int value);
