#pragma once

class QWidget;

// Names the COM setup dialog's controls for assistive technology.
void NameComSetupControls(QWidget* dialog);
