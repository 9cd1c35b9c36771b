#include "LiveAnnouncements.h"

#include <QAccessible>
#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>
#include <QVariant>

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

    void Handle(QAccessibleEvent* event) {
        if (!Limited(*event)) {
            Forward(event);
            return;
        }
        QObject* object = event->object();
        Entry& entry = m_entries[object];
        if (!entry.last.isValid() || entry.last.elapsed() >= intervalMs) {
            entry.last.start();
            entry.pending = QAccessible::InvalidEvent;
            Forward(event);
            return;
        }
        // The latest change of the interval is told when it is over.
        if (entry.pending == QAccessible::InvalidEvent)
            QTimer::singleShot(intervalMs - entry.last.elapsed(),
                               [this, target = QPointer<QObject>(object)] { Flush(target); });
        entry.pending = event->type();
    }

private:
    struct Entry {
        QElapsedTimer last;
        QAccessible::Event pending = QAccessible::InvalidEvent;
    };

    void Flush(const QPointer<QObject>& object) {
        const auto it = m_entries.find(object.data());
        if (it == m_entries.end())
            return;
        const QAccessible::Event type = it->pending;
        it->pending = QAccessible::InvalidEvent;
        if (!object) {
            m_entries.erase(it);
            return;
        }
        if (type == QAccessible::InvalidEvent)
            return;
        it->last.start();
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
