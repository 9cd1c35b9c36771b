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
}

void ConfigView::ConnectionLost() {
    m_unstored.ConnectionLost();
}

void ConfigView::ConfigWriteSent() {
    m_unstored.WriteSent();
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
