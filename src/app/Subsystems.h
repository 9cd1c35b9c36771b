#pragma once

#include "ReportSink.h"

#include <QObject>
#include <memory>

class ConfigView;
class EventLogView;
class LinkController;
class LiveView;
class SaveReport;
class TFormCom;
class TFormWalkTest;
class TGraphics;
class TMainForm;
class UnstoredChangesQuestion;
class WindowVisits;

// The running program's subsystems on the main window's controls: the link
// with its poll cycle, the configuration view, the live view feeding the
// graph window, the event log table and the report. Accepted reports from the link are
// handed on here by type.
//
// Built once the three windows exist, owned by the main window.
class Subsystems : public QObject, public ReportSink {
    Q_OBJECT
public:
    Subsystems(TMainForm& form, TFormCom& formCom, TGraphics& graphics);
    ~Subsystems() override;

    LinkController& Link() { return *m_link; }
    ConfigView& Config() { return *m_config; }
    LiveView& Live() { return *m_live; }
    EventLogView& EventLog() { return *m_eventLog; }
    SaveReport& Report() { return *m_report; }
    TFormWalkTest& WalkTestWindow() { return *m_walkTest; }
    UnstoredChangesQuestion& UnstoredQuestion() { return *m_unstoredQuestion; }
    // The site book's record of the window's visits; null until attached.
    WindowVisits* Visits() { return m_visits.get(); }
    void SetVisits(std::unique_ptr<WindowVisits> visits);

    void PwmReport(const std::uint8_t* payload4) override;
    void LiveStatusReport(const std::uint8_t* payload58) override;
    void ConfigReport(const std::uint8_t* payload40) override;
    void EventLogReport(const std::uint8_t* payload220) override;

private:
    // What the controls and readouts can show in the link's present state.
    void ShowLinkState();

    TGraphics& m_graphics;
    std::unique_ptr<LinkController> m_link;
    std::unique_ptr<ConfigView> m_config;
    std::unique_ptr<LiveView> m_live;
    std::unique_ptr<EventLogView> m_eventLog;
    std::unique_ptr<TFormWalkTest> m_walkTest;
    std::unique_ptr<SaveReport> m_report;
    std::unique_ptr<UnstoredChangesQuestion> m_unstoredQuestion;
    // The port of the detector whose changes may be unstored: the last one
    // connected.
    QString m_unstoredPort;
    std::unique_ptr<WindowVisits> m_visits;
};
