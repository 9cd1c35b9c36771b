#pragma once

class QWidget;

// Names the graph window's controls for assistive technology.
void NameGraphicsControls(QWidget* window);
