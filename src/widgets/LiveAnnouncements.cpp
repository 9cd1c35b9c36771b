#include "LiveAnnouncements.h"

#include <QAccessible>
#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>
#include <QVariant>

#include <algorithm>

namespace {

const char* const LiveProperty = "liveReadout";

bool Limited(const QAccessibleEvent& event) {
    switch (event.type()) {
    case QAccessible::ValueChanged:
    case QAccessible::NameChanged:
    case QAccessible::TextInserted:
    case QAccessible::TextRemoved:
    case QAccessible::TextUpdated:
        break;
    default:
        return false;
    }
    const auto* widget = qobject_cast<const QWidget*>(event.object());
    if (!widget || widget->hasFocus())
        return false;
    return qobject_cast<const QProgressBar*>(widget) || widget->property(LiveProperty).toBool();
}

class Limit {
public:
    int intervalMs = 1000;

    Limit() {
        QObject::connect(&m_tick, &QTimer::timeout, [this] { TellDue(); });
    }

    void Handle(QAccessibleEvent* event) {
        if (!Limited(*event)) {
            Forward(event);
            return;
        }
        QObject* object = event->object();
        Entry& entry = m_entries[object];
        entry.object = object;
        if (!entry.last.isValid() || entry.last.elapsed() >= intervalMs) {
            entry.last.start();
            entry.pending = QAccessible::InvalidEvent;
            Forward(event);
            return;
        }
        // The latest change of the interval is told once it is over. One
        // timer serves every readout: a wake-up per readout would cost more
        // than the announcements saved.
        entry.pending = event->type();
        if (!m_tick.isActive())
            m_tick.start(std::max(1, intervalMs / 4));
    }

private:
    struct Entry {
        QPointer<QObject> object;
        QElapsedTimer last;
        QAccessible::Event pending = QAccessible::InvalidEvent;
    };

    void TellDue() {
        bool waiting = false;
        for (auto it = m_entries.begin(); it != m_entries.end();) {
            Entry& entry = *it;
            if (!entry.object) {
                it = m_entries.erase(it);
                continue;
            }
            if (entry.pending != QAccessible::InvalidEvent) {
                if (entry.last.elapsed() >= intervalMs)
                    Tell(entry);
                else
                    waiting = true;
            }
            ++it;
        }
        if (!waiting)
            m_tick.stop();
    }

    void Tell(Entry& entry) {
        const QAccessible::Event type = entry.pending;
        entry.pending = QAccessible::InvalidEvent;
        entry.last.start();
        QObject* object = entry.object;
        if (type == QAccessible::ValueChanged) {
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(object);
            QAccessibleValueInterface* value = face ? face->valueInterface() : nullptr;
            QAccessibleValueChangeEvent event(object, value ? value->currentValue() : QVariant());
            Forward(&event);
        } else {
            QAccessibleEvent event(object, type);
            Forward(&event);
        }
    }

    // On to the platform's bridge, the way the event came.
    static void Forward(QAccessibleEvent* event);

    QHash<QObject*, Entry> m_entries;
    QTimer m_tick;
};

Limit* g_limit = nullptr;
QAccessible::UpdateHandler g_next = nullptr; // installed before this one

void HandleUpdate(QAccessibleEvent* event) {
    // Without a bridge nothing is told, as without the handler.
    if (QAccessible::isActive())
        g_limit->Handle(event);
}

void Limit::Forward(QAccessibleEvent* event) {
    // To the handler installed before, or else to the bridge, which is
    // reached only through updateAccessibility without a handler installed.
    if (g_next) {
        g_next(event);
        return;
    }
    QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(HandleUpdate);
}

} // namespace

void MarkLiveReadout(QWidget* widget) {
    widget->setProperty(LiveProperty, true);
}

void TellWithinLiveLimit(QAccessibleEvent* event) {
    InstallLiveAnnouncementLimit(g_limit ? g_limit->intervalMs : 1000);
    g_limit->Handle(event);
}

void InstallLiveAnnouncementLimit(int intervalMs) {
    if (!g_limit) {
        g_limit = new Limit;
        g_next = QAccessible::installUpdateHandler(HandleUpdate);
    }
    g_limit->intervalMs = intervalMs;
}
