// What the configuration side shows of the link's state: which controls can
// act, whether the record may be saved, and which writes the detector holds
// unstored.
#include "ConfigView.h"

#include "ScopeExit.h"

#include <QAction>
#include <QWidget>

void ConfigView::SetControlsActive(bool active) {
    for (QWidget* container : m_controlContainers)
        container->setEnabled(active);
    m_fileOpen->setEnabled(active);
    m_storeToFlash->setEnabled(active);
}

void ConfigView::SetRecordKnown(bool known) {
    m_recordKnown = known;
    m_fileSaveAs->setEnabled(known);
}

void ConfigView::ConnectionStarted() {
    SetRecordKnown(false);
    m_lensesFromEarlierConnection = true;
}

void ConfigView::ConnectionLost() {
    const bool storeUnconfirmed = m_unstored.StoreUnderway();
    m_unstored.ConnectionLost();
    if (storeUnconfirmed)
        TellStoreFailed(QStringLiteral("the link to the detector was lost before its "
                                       "configuration was read back."));
}

void ConfigView::ConfigWriteSent() {
    if (m_unstored.WriteSent())
        emit UnstoredChangeSent();
}

void ConfigView::StoreNotSent() {
    TellStoreFailed(QStringLiteral("the link to the detector is down, so nothing was sent."));
}

void ConfigView::TellStoreFailed(const QString& reason) {
    if (ShowMessage)
        ShowMessage(QStringLiteral("Store To Flash did not complete: %1\nThe changes are still "
                                   "not stored in the detector's flash memory.")
                        .arg(reason));
    emit StoreFailed();
}

void ConfigView::EchoDetectorState(const std::function<void()>& show) {
    const bool wasEcho = m_detectorEcho;
    m_detectorEcho = true;
    const ScopeExit restore([this, wasEcho] { m_detectorEcho = wasEcho; });
    show();
}

bool ConfigView::StoreAvailable() const {
    return m_storeToFlash->isEnabled() && WritesAllowed();
}
