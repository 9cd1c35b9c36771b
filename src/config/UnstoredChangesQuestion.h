#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class ConfigView;
class QMessageBox;
class QPushButton;

// Asked where the user leaves a detector (Disconnect, Exit, or connecting to
// another port after the link was lost) that holds changes not stored in its
// flash memory. Without such changes nothing is asked and the step goes ahead
// at once.
class UnstoredChangesQuestion : public QObject {
    Q_OBJECT
public:
    enum class Answer { StoreToFlash, LeaveUnstored, Cancel };

    // The question for a step; `next` says what Leave Unstored does, such as
    // "disconnects" or "exits".
    static QString Text(const QString& next, bool canStore);

    explicit UnstoredChangesQuestion(ConfigView& config, QObject* parent = nullptr);

    // Runs `proceed` at once when nothing is unstored or the user leaves the
    // changes unstored; after the store's read-back when the user stores
    // them; never when the user cancels or the store fails.
    void Confirm(std::function<void()> proceed, const QString& next);
    // The link went down: a step waiting for its store is not taken, and a
    // question still open no longer offers the store.
    void Abandon();

    // How the question is put; `canStore` is false while a store cannot
    // reach the detector, and the store choice is then not offered. Tests
    // replace it.
    std::function<Answer(const QString& text, bool canStore)> Ask;

private:
    Answer DefaultAsk(const QString& text, bool canStore);

    ConfigView& m_config;
    std::function<void()> m_afterStore;
    QString m_next;
    // The question while it is open, and its store button.
    QPointer<QMessageBox> m_box;
    QPointer<QPushButton> m_storeButton;
};
