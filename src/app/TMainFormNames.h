#pragma once

class QWidget;

// Names every control of the main form for assistive technology.
void NameMainFormControls(QWidget* form);
