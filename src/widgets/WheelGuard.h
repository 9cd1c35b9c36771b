#pragma once

#include <QObject>

class QWidget;

// Keeps the mouse wheel off controls that do not have keyboard focus.
//
// A wheel turned over a slider, scroll bar or drop-down list would otherwise
// change it whenever the pointer passes over it, for instance while the user
// scrolls the page it sits on. A guarded control without focus ignores the
// wheel; inside a scroll area the wheel scrolls the area instead. Once the
// user has focused the control (clicked or tabbed to it) it takes the wheel
// as usual, and the wheel alone never gives it focus.
class WheelGuard : public QObject {
    Q_OBJECT
public:
    // Guards `control` for as long as it exists.
    static void Install(QWidget* control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
};
