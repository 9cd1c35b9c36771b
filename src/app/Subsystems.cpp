#include "Subsystems.h"

#include "ComSetup.h"
#include "ConfigView.h"
#include "EventLogView.h"
#include "FindControl.h"
#include "LinkController.h"
#include "LiveView.h"
#include "PanelStatusBar.h"
#include "SaveReport.h"
#include "Siren.h"
#include "TGraphics.h"
#include "TMainForm.h"

#include <QAction>
#include <QProgressBar>
#include <QTabWidget>

Subsystems::Subsystems(TMainForm& form, TFormCom& formCom, TGraphics& graphics) : QObject(&form) {
    LinkController::Controls controls;
    controls.Action2 = FindControl<QAction>(&form, "Action2");
    controls.Action4 = FindControl<QAction>(&form, "Action4");
    controls.CommSetup1 = FindControl<QAction>(&form, "CommSetup1");
    controls.StatusBar_form = FindControl<PanelStatusBar>(&form, "StatusBar_form");
    controls.ProgressBar_serial = FindControl<QProgressBar>(&form, "ProgressBar_serial");
    controls.PageControl1 = FindControl<QTabWidget>(&form, "PageControl1");
    controls.Timer2 = form.Timer2();
    m_link = std::make_unique<LinkController>(controls, &formCom, *this);
    m_config = std::make_unique<ConfigView>(&form, *m_link);
    m_live = std::make_unique<LiveView>(&form, graphics, m_config->CurrentConfig());
    m_eventLog = std::make_unique<EventLogView>(&form);
    m_report = std::make_unique<SaveReport>(SaveReport::Sources{
        &form, m_link.get(), m_config.get(), m_live.get(), m_eventLog.get(), &formCom, &graphics});

    connect(controls.Action2, &QAction::triggered, m_link.get(), &LinkController::Action2Execute);
    // Connect (also after the link halted) and Disconnect both end what the
    // report may tell of the detector seen so far.
    connect(controls.Action2, &QAction::triggered, m_report.get(), &SaveReport::ConnectionStarted);
    connect(controls.PageControl1, &QTabWidget::currentChanged, m_link.get(),
            &LinkController::PageControl1Change);

    form.onExitLinkSide = [this] { m_link->ExitLinkSide(); };
    form.onShowGraphSide = [this] { m_live->ResetPointIndex(); };
    form.onShowLinkSide = [this] { m_link->FormShowLinkSide(); };
    if (!form.SirenPath().isEmpty())
        m_live->AlarmSound().SetSoundFile(form.SirenPath());
}

Subsystems::~Subsystems() = default;

void Subsystems::PwmReport(const std::uint8_t* payload4) {
    m_config->ApplyPwmReport(payload4);
}

void Subsystems::LiveStatusReport(const std::uint8_t* payload58) {
    m_live->LiveStatusReport(payload58);
    m_report->LiveStatusSeen();
}

void Subsystems::ConfigReport(const std::uint8_t* payload40) {
    m_config->ConfigReport(payload40);
}

void Subsystems::EventLogReport(const std::uint8_t* payload220) {
    m_eventLog->EventLogReport(payload220);
    m_report->EventLogSeen();
}
