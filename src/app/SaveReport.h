#pragma once

#include "ReportFacts.h"

#include <QObject>
#include <QString>

#include <functional>

class ConfigView;
class LinkController;
class LiveView;
class EventLogView;
class QAction;
class QComboBox;
class QMenu;
class QWidget;
class TFormCom;
class TGraphics;

// "Save Report..." of the File menu: the commissioning report of the
// connected detector as a PDF. Offered while this connection's configuration
// is shown; the live readings and the event log go in only when they came
// from this connection, never from a detector connected earlier.
class SaveReport : public QObject {
    Q_OBJECT
public:
    struct Sources {
        QWidget* Form = nullptr;
        LinkController* Link = nullptr;
        ConfigView* Config = nullptr;
        LiveView* Live = nullptr;
        EventLogView* EventLog = nullptr;
        TFormCom* FormCom = nullptr;
        TGraphics* Graphics = nullptr;
    };
    explicit SaveReport(const Sources& sources, QObject* parent = nullptr);

    // Whether there is a report to make: the port is open and the detector's
    // configuration has been shown since Connect.
    bool Available() const;
    // Brings the menu item's enabled state up to date.
    void UpdateEnabled();

    // Connect or Disconnect: what the detector delivered so far no longer
    // counts.
    void ConnectionStarted();
    void LiveStatusSeen() { m_statusSeen = true; }
    void EventLogSeen() { m_logSeen = true; }

    // The facts the window holds now.
    ReportFacts Facts() const;

    // Asks for a file name, then saves there.
    void SaveReport1Execute();
    // Writes the report to `path`; a failure is shown with the path and the
    // reason, and an earlier file of that name stays whole. False then.
    bool Save(const QString& path);

    // The save dialog and the message box; tests replace them.
    std::function<QString()> ChooseFile;
    std::function<void(const QString&)> ShowMessage;
    // Told of each report written, with its path.
    std::function<void(const QString&)> Written;

    // The name the save dialog offers: the site and detector names, when
    // given, before "report.pdf".
    QString SuggestedName() const;

    QAction* SaveReport1;

private:
    Sources m_src;
    QComboBox* m_lens[2];
    bool m_statusSeen = false;
    bool m_logSeen = false;
};
