#pragma once

class QWidget;

// Makes the main form's configuration controls usable from the keyboard and
// safe under the mouse wheel: every one takes focus from Tab or a click, in
// order channel by channel and then down the SETUP box; the arrow keys change
// the focused one; a ring marks it; and the wheel moves only a focused slider,
// scroll bar or list (elsewhere in the SETUP box it scrolls the box).
void SetUpConfigurationControls(QWidget* form);
