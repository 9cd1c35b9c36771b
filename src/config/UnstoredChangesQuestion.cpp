#include "UnstoredChangesQuestion.h"

#include "ConfigView.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

QString UnstoredChangesQuestion::Text(const QString& next, bool canStore) {
    QString text = QStringLiteral("The detector has changes that are not stored in its flash "
                                  "memory. They are lost when it loses power.\n\n");
    if (canStore)
        text +=
            QStringLiteral("Store To Flash stores them, then %1; Leave Unstored %1 now.").arg(next);
    else
        text += QStringLiteral("The link to the detector is down, so they cannot be stored from "
                               "here. Leave Unstored %1 now.")
                    .arg(next);
    return text;
}

UnstoredChangesQuestion::UnstoredChangesQuestion(ConfigView& config, QObject* parent)
    : QObject(parent), m_config(config) {
    Ask = [this](const QString& text, bool canStore) { return DefaultAsk(text, canStore); };
    connect(&m_config, &ConfigView::StoredToFlash, this, [this] {
        // Taken out first: the step may itself lead here again.
        const std::function<void()> proceed = std::move(m_afterStore);
        m_afterStore = nullptr;
        if (proceed)
            proceed();
    });
    // The user has been told; the step stays where it is.
    connect(&m_config, &ConfigView::StoreFailed, this, [this] { m_afterStore = nullptr; });
}

void UnstoredChangesQuestion::Abandon() {
    m_afterStore = nullptr;
    if (m_storeButton) {
        m_storeButton->setEnabled(false);
        m_storeButton->hide();
    }
    // Whatever the step was, the link it was to leave is gone already.
    if (m_box)
        m_box->setText(QStringLiteral("The detector has changes that are not stored in its "
                                      "flash memory. They are lost when it loses power.\n\nThe "
                                      "link to the detector was lost, so they can no longer be "
                                      "stored from here."));
}

void UnstoredChangesQuestion::Confirm(std::function<void()> proceed, const QString& next) {
    if (!m_config.Unstored().Any()) {
        proceed();
        return;
    }
    m_next = next;
    const bool canStore = m_config.StoreAvailable();
    const Answer answer = Ask(Text(next, canStore), canStore);
    switch (answer) {
    case Answer::StoreToFlash:
        // The poll ran on while the question was open: the link may have
        // gone down meanwhile, and then nothing can be stored.
        if (!m_config.StoreAvailable()) {
            m_config.StoreNotSent();
            return;
        }
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

UnstoredChangesQuestion::Answer UnstoredChangesQuestion::DefaultAsk(const QString& text,
                                                                    bool canStore) {
    QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(), text,
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
    m_box = &box;
    m_storeButton = store;
    box.exec();
    m_box = nullptr;
    m_storeButton = nullptr;
    if (store && store->isEnabled() && box.clickedButton() == store)
        return Answer::StoreToFlash;
    if (box.clickedButton() == leave)
        return Answer::LeaveUnstored;
    return Answer::Cancel;
}
