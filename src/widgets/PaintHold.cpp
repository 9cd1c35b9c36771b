#include "PaintHold.h"

#include <QCoreApplication>
#include <QEvent>

#include <algorithm>

PaintHold::PaintHold(QObject* parent) : QObject(parent) {
    m_limit.setSingleShot(true);
    m_limit.setInterval(LimitMs);
    connect(&m_limit, &QTimer::timeout, this, &PaintHold::Deliver);
    QCoreApplication::instance()->installEventFilter(this);
}

PaintHold::~PaintHold() {
    QCoreApplication::instance()->removeEventFilter(this);
}

void PaintHold::Hold() {
    if (m_holding)
        return;
    m_holding = true;
    m_limit.start();
}

void PaintHold::Deliver() {
    if (!m_holding)
        return;
    m_holding = false;
    m_limit.stop();
    // The toolkit asks a window once until it has painted: the request
    // taken here is the one it waits for.
    std::vector<QPointer<QWidget>> waiting;
    waiting.swap(m_waiting);
    for (const QPointer<QWidget>& window : waiting) {
        if (!window)
            continue;
        QEvent request(QEvent::UpdateRequest);
        QCoreApplication::sendEvent(window, &request);
    }
}

bool PaintHold::eventFilter(QObject* watched, QEvent* event) {
    if (!m_holding || event->type() != QEvent::UpdateRequest || !watched->isWidgetType())
        return false;
    auto* window = static_cast<QWidget*>(watched);
    if (std::find(m_waiting.begin(), m_waiting.end(), window) == m_waiting.end())
        m_waiting.emplace_back(window);
    return true;
}
