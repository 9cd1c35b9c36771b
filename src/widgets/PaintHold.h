#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <vector>

// Holds the repaints of every window for a moment. The poll shows an answer,
// then sends the next request at once: painting in between (and on X11
// sending the picture to the server and waiting for it) delays that request,
// so the line idles. Held from the answer until the next request is on the
// line, the repaints are done while the line carries it, in one pass with
// the activity bar's. A hold that nothing delivers ends by itself after
// `LimitMs`, so nothing is left unpainted when the poll stops.
class PaintHold : public QObject {
    Q_OBJECT
public:
    static constexpr int LimitMs = 60;

    explicit PaintHold(QObject* parent = nullptr);
    ~PaintHold() override;

    // From now, repaint requests wait until Deliver (or the limit).
    void Hold();
    // Repaints what waited; later requests are handled as they come.
    void Deliver();
    bool Holding() const { return m_holding; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_holding = false;
    std::vector<QPointer<QWidget>> m_waiting;
    QTimer m_limit;
};
