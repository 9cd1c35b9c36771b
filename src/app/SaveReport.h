#pragma once

#include "ReportFacts.h"

#include <QObject>
#include <QString>

#include <cstdint>
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
class TFormWalkTest;

// The file name a save dialog suggests for a report: from its date and time,
// so reports of one day's detectors do not replace each other.
QString SuggestedReportName(const ReportFacts& facts);

// "Save Report..." of the File menu: the commissioning report of the
// detector as a PDF. Offered once this connection's configuration has been
// shown, and still after the link to it was lost (the report then says
// when), until the next Connect or Disconnect; the live readings and the
// event log go in only when they came from this connection, never from a
// detector connected earlier.
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
        TFormWalkTest* WalkTest = nullptr;
    };
    explicit SaveReport(const Sources& sources, QObject* parent = nullptr);

    // Whether there is a report to make: the detector's configuration has
    // been shown since Connect, and neither Connect nor Disconnect came since.
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

    // The save dialog (given the suggested name) and the message box; tests
    // replace them.
    std::function<QString(const QString& suggested)> ChooseFile;
    std::function<void(const QString&)> ShowMessage;
    // Told where a saved report went.
    std::function<void(const QString& path)> Saved;
    // Told of each report written, with its path.
    std::function<void(const QString&)> Written;

    QAction* SaveReport1;

private:
    // The link's state changed: the detector's configuration may now be
    // shown, or the link lost.
    void LinkStateChanged();

    Sources m_src;
    QComboBox* m_lens[2];
    bool m_lensChosen[2] = {false, false};
    bool m_detectorSeen = false;
    QDateTime m_linkLost;
    bool m_statusSeen = false;
    bool m_logSeen = false;
    std::int64_t m_connectedMs = 0; // when this connection began
};
