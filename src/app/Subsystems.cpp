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
#include "TFormWalkTest.h"
#include "TGraphics.h"
#include "TMainForm.h"
#include "UnstoredChangesQuestion.h"
#include "WindowVisits.h"

#include <QAction>
#include <QDir>
#include <QProgressBar>
#include <QTabWidget>
#include <QTime>

namespace {

// Status bar panels beside the documented ones: the sound's state in the
// otherwise empty last of the four, and the time of the last store.
constexpr int SoundPanel = 3;
constexpr int StoredPanel = 5;
// Short enough for its panel beside the port.
const QString UnstoredSince = QStringLiteral("Unstored since ");

} // namespace

Subsystems::Subsystems(TMainForm& form, TFormCom& formCom, TGraphics& graphics)
    : QObject(&form), m_graphics(graphics) {
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
    m_walkTest = std::make_unique<TFormWalkTest>(m_live->AlarmSound(), &form);
    m_report = std::make_unique<SaveReport>(
        SaveReport::Sources{&form, m_link.get(), m_config.get(), m_live.get(), m_eventLog.get(),
                            &formCom, &graphics, m_walkTest.get()});
    m_unstoredQuestion = std::make_unique<UnstoredChangesQuestion>(*m_config);

    // Connect (also after the link halted) and Disconnect both end what the
    // report may tell of the detector seen so far. The unstored-changes
    // question comes where the user leaves a detector: Disconnect, Exit, and
    // a Connect to another port after the link to it was lost.
    auto connectOrDisconnect = [this] {
        if (m_visits && m_link->IsConnected())
            m_visits->EndingByChoice();
        // Disconnecting ends a walk test as Stop does: the link did not fail.
        m_walkTest->Button_StopClick();
        m_link->Action2Execute();
        m_report->ConnectionStarted();
    };
    connect(controls.Action2, &QAction::triggered, m_link.get(),
            [this, connectOrDisconnect, &formCom] {
                if (m_link->IsConnected()) {
                    m_unstoredQuestion->Confirm(
                        [this, connectOrDisconnect] {
                            // Still connected: the link may have failed while the question
                            // was open, and the action would then connect.
                            if (m_link->IsConnected())
                                connectOrDisconnect();
                        },
                        QStringLiteral("disconnects"));
                } else if (formCom.COM != m_unstoredPort) {
                    m_unstoredQuestion->Confirm(
                        connectOrDisconnect,
                        QStringLiteral("connects to %1 without them").arg(formCom.COM));
                } else {
                    connectOrDisconnect();
                }
            });
    form.confirmLeavingDetector = [this](std::function<void()> proceed) {
        m_unstoredQuestion->Confirm(std::move(proceed), QStringLiteral("exits"));
    };
    connect(controls.PageControl1, &QTabWidget::currentChanged, m_link.get(),
            &LinkController::PageControl1Change);

    form.onExitLinkSide = [this] {
        if (m_visits)
            m_visits->EndingByChoice();
        // Exit, like Disconnect, ends a walk test as Stop does.
        m_walkTest->Button_StopClick();
        m_link->ExitLinkSide();
    };
    form.onShowGraphSide = [this] { m_live->ResetPointIndex(); };
    form.onShowLinkSide = [this] { m_link->FormShowLinkSide(); };
    if (!form.SirenPath().isEmpty())
        m_live->AlarmSound().SetSoundFile(form.SirenPath());

    connect(FindControl<QAction>(&form, "WalkTest1"), &QAction::triggered, this, [this] {
        m_walkTest->show();
        m_walkTest->raise();
        m_walkTest->activateWindow();
    });

    PanelStatusBar* status = controls.StatusBar_form;
    connect(m_link.get(), &LinkController::Connected, this, [this, status, &formCom] {
        m_config->ConnectionStarted();
        m_eventLog->ConnectionStarted();
        m_unstoredPort = formCom.COM;
        status->setPanelText(StoredPanel, QString());
    });
    connect(m_link.get(), &LinkController::StateChanged, this, &Subsystems::ShowLinkState);
    connect(m_link.get(), &LinkController::ConfigWriteSent, m_config.get(),
            &ConfigView::ConfigWriteSent);
    // The store panel says the same as the question would: stored, or
    // changed since (the earliest change that is not stored).
    const auto now = [] { return QTime::currentTime().toString(QStringLiteral("HH:mm:ss")); };
    connect(m_config.get(), &ConfigView::StoredToFlash, this, [this, status, now] {
        if (!m_config->Unstored().Any())
            status->setPanelText(StoredPanel, QStringLiteral("Stored to flash ") + now());
    });
    connect(m_config.get(), &ConfigView::UnstoredChangeSent, this, [status, now] {
        if (!status->panelText(StoredPanel).startsWith(UnstoredSince))
            status->setPanelText(StoredPanel, UnstoredSince + now());
    });
    connect(m_config.get(), &ConfigView::StoreFailed, this, [this, status, now] {
        if (m_config->Unstored().Any() && !status->panelText(StoredPanel).startsWith(UnstoredSince))
            status->setPanelText(StoredPanel, UnstoredSince + now());
    });
    // Where a file went.
    const auto saved = [status](const QString& path) {
        status->setPanelText(LinkController::NewsPanel,
                             QStringLiteral("Saved to ") + QDir::toNativeSeparators(path));
    };
    m_config->Saved = saved;
    m_eventLog->Exported = saved;
    m_report->Saved = saved;
    connect(FindControl<QAction>(&form, "MuteSiren1"), &QAction::toggled, this,
            [this, status](bool muted) {
                m_live->AlarmSound().SetMuted(muted);
                status->setPanelText(SoundPanel, muted ? QStringLiteral("Muted") : QString());
            });
    ShowLinkState();
}

void Subsystems::ShowLinkState() {
    const bool connected = m_link->IsConnected();
    m_walkTest->SetLinkUp(connected);
    // Still running here, the walk test lost its link (Disconnect stops it
    // first).
    if (!connected)
        m_walkTest->LinkLost();
    m_config->SetControlsActive(connected && m_link->Buffers().ConfigShown);
    if (connected)
        return;
    m_config->ConnectionLost();
    m_live->ShowStale();
    m_eventLog->ShowStale();
    m_unstoredQuestion->Abandon();
}

Subsystems::~Subsystems() = default;

void Subsystems::SetVisits(std::unique_ptr<WindowVisits> visits) {
    m_visits = std::move(visits);
    m_walkTest->OnEventFinished([this](const WalkEvent& event) {
        if (m_visits)
            m_visits->WalkEventFinished(event);
    });
    m_report->Written = [this](const QString& path) {
        if (m_visits)
            m_visits->ReportWritten(path);
    };
}

void Subsystems::PwmReport(const std::uint8_t* payload4) {
    m_config->ApplyPwmReport(payload4);
}

void Subsystems::LiveStatusReport(const std::uint8_t* payload58) {
    // The noise-reduction boxes follow the detector's own flags; the writes
    // that causes are not changes of the user's.
    m_config->EchoDetectorState([&] { m_live->LiveStatusReport(payload58); });
    m_walkTest->LiveStatusReport(m_live->Status(), m_graphics.DirectConvert());
    m_report->LiveStatusSeen();
}

void Subsystems::ConfigReport(const std::uint8_t* payload40) {
    m_config->ConfigReport(payload40);
    if (m_visits)
        m_visits->ConfigShown();
}

void Subsystems::EventLogReport(const std::uint8_t* payload220) {
    m_eventLog->EventLogReport(payload220);
    m_report->EventLogSeen();
    if (m_visits)
        m_visits->EventLogRead(payload220);
}
