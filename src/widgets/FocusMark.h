#pragma once

#include <QFocusFrame>
#include <QSet>

class QWidget;

// A ring around whichever of the marked controls has keyboard focus. Styles
// show focus on check boxes and lists but draw nothing on scroll bars, so a
// user tabbing through a row of bars could not tell which one the arrow keys
// will move; this draws one mark the same way for every control.
class FocusMark : public QFocusFrame {
    Q_OBJECT
public:
    // The mark moves into the parent of the control it surrounds, so it
    // always stays inside `window` and goes with it.
    explicit FocusMark(QWidget* window);

    // Marks `control` (and anything inside it, such as the buttons of a
    // radio group) while it has focus.
    void Add(QWidget* control);
    // The control the ring is around now, or null.
    QWidget* Marked() const { return widget(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void FocusChanged(QWidget* now);

    QSet<QWidget*> m_controls;
};
