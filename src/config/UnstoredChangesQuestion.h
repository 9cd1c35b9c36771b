#pragma once

#include <QObject>
#include <QString>

#include <functional>

class ConfigView;

// Asked before the user leaves a detector (Disconnect, Exit, choosing another
// port) that holds changes not stored in its flash memory. Without such
// changes nothing is asked and the step goes ahead at once.
class UnstoredChangesQuestion : public QObject {
    Q_OBJECT
public:
    enum class Answer { StoreToFlash, LeaveUnstored, Cancel };

    static const QString Text;

    explicit UnstoredChangesQuestion(ConfigView& config, QObject* parent = nullptr);

    // Runs `proceed` at once when nothing is unstored or the user leaves the
    // changes unstored; after the store's read-back when the user stores
    // them; never when the user cancels.
    void Confirm(std::function<void()> proceed);
    // The link went down: a step waiting for its store is not taken.
    void Abandon() { m_afterStore = nullptr; }

    // How the question is put; `canStore` is false while a store cannot
    // reach the detector, and the store choice is then not offered. Tests
    // replace it.
    std::function<Answer(bool canStore)> Ask;

private:
    Answer DefaultAsk(bool canStore) const;

    ConfigView& m_config;
    std::function<void()> m_afterStore;
};
