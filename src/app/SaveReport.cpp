#include "SaveReport.h"

#include "ComSetup.h"
#include "ConfigView.h"
#include "EventLogView.h"
#include "FindControl.h"
#include "LinkController.h"
#include "LiveView.h"
#include "ReportPdf.h"
#include "SaveDialog.h"
#include "TFormWalkTest.h"
#include "TGraphics.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpression>

SaveReport::SaveReport(const Sources& sources, QObject* parent)
    : QObject(parent), SaveReport1(FindControl<QAction>(sources.Form, "SaveReport1")),
      m_src(sources), m_lens{FindControl<QComboBox>(sources.Form, "ComboBox_Pir1_Lens"),
                             FindControl<QComboBox>(sources.Form, "ComboBox_Pir2_Lens")} {
    setObjectName(QStringLiteral("SaveReport"));
    connect(SaveReport1, &QAction::triggered, this, &SaveReport::SaveReport1Execute);
    connect(m_src.Link, &LinkController::StateChanged, this, &SaveReport::LinkStateChanged);
    for (int pir = 0; pir < 2; ++pir)
        connect(m_lens[pir], &QComboBox::activated, this,
                [this, pir] { m_lensChosen[pir] = true; });
    // The state can change with every poll tick; it is brought up to date
    // where it is seen, when the File menu opens.
    if (auto* file = m_src.Form->findChild<QMenu*>(QStringLiteral("File1")))
        connect(file, &QMenu::aboutToShow, this, &SaveReport::UpdateEnabled);
    UpdateEnabled();

    QWidget* window = m_src.Form->window();
    ChooseFile = [window](const QString& suggested) {
        return ChooseSaveFileName(window, QStringLiteral("Save Report"),
                                  {QStringLiteral("PDF (*.pdf)")}, QStringLiteral("pdf"),
                                  suggested);
    };
    ShowMessage = [window](const QString& text) {
        QMessageBox::warning(window, window->windowTitle(), text);
    };
}

QString SuggestedReportName(const ReportFacts& facts) {
    QStringList parts{facts.Site, facts.Detector,
                      QStringLiteral("report-") +
                          facts.Time.toString(QStringLiteral("yyyy-MM-dd-HHmm")) +
                          QStringLiteral(".pdf")};
    parts.removeAll(QString());
    QString name = parts.join(u' ');
    // Characters no file system takes in a name become dashes.
    static const QRegularExpression unsafe(QStringLiteral("[\\\\/:*?\"<>|\\x00-\\x1f]"));
    return name.replace(unsafe, QStringLiteral("-"));
}

bool SaveReport::Available() const {
    return m_detectorSeen;
}

void SaveReport::LinkStateChanged() {
    if (m_src.Link->IsConnected()) {
        if (m_src.Link->Buffers().ConfigShown)
            m_detectorSeen = true;
    } else if (m_detectorSeen && !m_linkLost.isValid()) {
        m_linkLost = QDateTime::currentDateTime();
    }
}

void SaveReport::UpdateEnabled() {
    SaveReport1->setEnabled(Available());
}

void SaveReport::ConnectionStarted() {
    m_statusSeen = false;
    m_logSeen = false;
    m_detectorSeen = m_src.Link->IsConnected() && m_src.Link->Buffers().ConfigShown;
    m_linkLost = QDateTime();
    m_lensChosen[0] = m_lensChosen[1] = false;
    m_connectedMs = QDateTime::currentMSecsSinceEpoch();
    UpdateEnabled();
}

ReportFacts SaveReport::Facts() const {
    ReportFacts f;
    f.Time = QDateTime::currentDateTime();
    f.Port = m_src.FormCom ? m_src.FormCom->COM : QString();
    f.Version = QStringLiteral(DCT_VERSION);
    if (m_src.FormCom) {
        f.Site = m_src.FormCom->SiteName();
        f.Detector = m_src.FormCom->DetectorName();
    }
    f.Config = m_src.Config->CurrentConfig();
    // Only a lens chosen on this connection, which the lists still show
    // (they go back to "User" when a connection's configuration is shown).
    for (int pir = 0; pir < 2; ++pir)
        if (m_lensChosen[pir] && m_lens[pir]->currentIndex() > 0)
            f.Lenses[static_cast<std::size_t>(pir)] = m_lens[pir]->currentText();
    f.LinkLost = m_linkLost;
    if (m_statusSeen)
        f.LastStatus = ReportFacts::Live{m_src.Live->Status(), m_src.Graphics->DirectConvert()};
    if (m_logSeen)
        f.EventLog = EventRecordsOf(m_src.EventLog->Buffer());
    // A walk test started before this connection tells of another detector.
    if (m_src.WalkTest) {
        const WalkTest& walk = m_src.WalkTest->Test();
        if (walk.StartedMs() >= m_connectedMs && walk.StartedMs() > 0)
            f.WalkTest = walk.Run(m_connectedMs);
    }
    f.Graph = m_src.Graphics->Screen().copy();
    return f;
}

void SaveReport::SaveReport1Execute() {
    // The item may have been chosen in a menu opened before the link changed.
    if (!Available()) {
        UpdateEnabled();
        return;
    }
    const QString path = ChooseFile ? ChooseFile(SuggestedReportName(Facts())) : QString();
    if (!path.isEmpty())
        Save(path);
}

bool SaveReport::Save(const QString& path) {
    const QString error = WriteReportPdf(path, Facts());
    if (error.isEmpty()) {
        if (Saved)
            Saved(path);
        if (Written)
            Written(path);
        return true;
    }
    if (ShowMessage)
        ShowMessage(error);
    return false;
}
