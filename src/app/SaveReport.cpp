#include "SaveReport.h"

#include "ComSetup.h"
#include "ConfigView.h"
#include "EventLogView.h"
#include "FindControl.h"
#include "LinkController.h"
#include "LiveView.h"
#include "ReportPdf.h"
#include "SaveDialog.h"
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
    // The state can change with every poll tick; it is brought up to date
    // where it is seen, when the File menu opens.
    if (auto* file = m_src.Form->findChild<QMenu*>(QStringLiteral("File1")))
        connect(file, &QMenu::aboutToShow, this, &SaveReport::UpdateEnabled);
    UpdateEnabled();

    QWidget* window = m_src.Form->window();
    ChooseFile = [this, window] {
        return ChooseSaveFileName(window, QStringLiteral("Save Report"),
                                  {QStringLiteral("PDF (*.pdf)")}, QStringLiteral("pdf"),
                                  SuggestedName());
    };
    ShowMessage = [window](const QString& text) {
        QMessageBox::warning(window, window->windowTitle(), text);
    };
}

bool SaveReport::Available() const {
    return m_src.Link->PortOpen() && m_src.Link->Buffers().ConfigShown;
}

void SaveReport::UpdateEnabled() {
    SaveReport1->setEnabled(Available());
}

void SaveReport::ConnectionStarted() {
    m_statusSeen = false;
    m_logSeen = false;
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
    f.Lenses = {m_lens[0]->currentText(), m_lens[1]->currentText()};
    if (m_statusSeen)
        f.LastStatus = ReportFacts::Live{m_src.Live->Status(), m_src.Graphics->DirectConvert()};
    if (m_logSeen)
        f.EventLog = EventRecordsOf(m_src.EventLog->Buffer());
    f.Graph = m_src.Graphics->Screen().copy();
    return f;
}

void SaveReport::SaveReport1Execute() {
    // The item may have been chosen in a menu opened before the link changed.
    if (!Available()) {
        UpdateEnabled();
        return;
    }
    const QString path = ChooseFile ? ChooseFile() : QString();
    if (!path.isEmpty())
        Save(path);
}

bool SaveReport::Save(const QString& path) {
    const QString error = WriteReportPdf(path, Facts());
    if (error.isEmpty()) {
        if (Written)
            Written(path);
        return true;
    }
    if (ShowMessage)
        ShowMessage(error);
    return false;
}

QString SaveReport::SuggestedName() const {
    QStringList parts;
    if (m_src.FormCom)
        parts << m_src.FormCom->SiteName() << m_src.FormCom->DetectorName();
    parts << QStringLiteral("report.pdf");
    parts.removeAll(QString());
    QString name = parts.join(u' ');
    // Characters no file system takes in a name become dashes.
    static const QRegularExpression unsafe(QStringLiteral("[\\\\/:*?\"<>|\\x00-\\x1f]"));
    return name.replace(unsafe, QStringLiteral("-"));
}
