#include "UnstoredChangesQuestion.h"

#include "ConfigView.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

const QString UnstoredChangesQuestion::Text =
    QStringLiteral("The detector has changes that are not stored in its flash memory. They are "
                   "lost when it loses power.");

UnstoredChangesQuestion::UnstoredChangesQuestion(ConfigView& config, QObject* parent)
    : QObject(parent), m_config(config) {
    Ask = [this](bool canStore) { return DefaultAsk(canStore); };
    connect(&m_config, &ConfigView::StoredToFlash, this, [this] {
        // Taken out first: the step may itself lead here again.
        const std::function<void()> proceed = std::move(m_afterStore);
        m_afterStore = nullptr;
        if (proceed)
            proceed();
    });
}

void UnstoredChangesQuestion::Confirm(std::function<void()> proceed) {
    if (!m_config.Unstored().Any()) {
        proceed();
        return;
    }
    const Answer answer = Ask(m_config.StoreAvailable());
    switch (answer) {
    case Answer::StoreToFlash:
        // The poll ran on while the question was open: the link may have
        // gone down meanwhile.
        if (!m_config.StoreAvailable())
            return;
        m_afterStore = std::move(proceed);
        m_config.Action4Execute();
        return;
    case Answer::LeaveUnstored:
        m_config.LeaveUnstored();
        proceed();
        return;
    case Answer::Cancel:
        return;
    }
}

UnstoredChangesQuestion::Answer UnstoredChangesQuestion::DefaultAsk(bool canStore) const {
    QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(), Text,
                    QMessageBox::NoButton, QApplication::activeWindow());
    QPushButton* store = nullptr;
    if (canStore)
        store = box.addButton(QStringLiteral("Store To Flash"), QMessageBox::AcceptRole);
    QPushButton* leave =
        box.addButton(QStringLiteral("Leave Unstored"), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    // Enter alone never stores nor drops anything.
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    if (store && box.clickedButton() == store)
        return Answer::StoreToFlash;
    if (box.clickedButton() == leave)
        return Answer::LeaveUnstored;
    return Answer::Cancel;
}
