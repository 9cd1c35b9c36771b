#include "LinkController.h"

#include "BarPosition.h"
#include "ComSetup.h"
#include "ErrorLog.h"
#include "PaintHold.h"
#include "PanelStatusBar.h"
#include "ReportSink.h"
#include "synaser.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QMessageBox>
#include <QProgressBar>
#include <QTabWidget>
#include <QTimer>

namespace {

const QString ConnectCaption = QStringLiteral("Connect");
const QString DisconnectCaption = QStringLiteral("Disconnect");
const QString ReadingConfiguration = QStringLiteral("Reading configuration...");
constexpr int ReadingPanel = LinkController::NewsPanel;

} // namespace

LinkController::LinkController(const Controls& controls, TFormCom* formCom, ReportSink& sink,
                               QObject* parent)
    : QObject(parent), m_ui(controls), m_formCom(formCom), m_sink(sink),
      m_paintHold(new PaintHold(this)) {
    ShowMessage = [](const QString& text) {
        QMessageBox::warning(nullptr, QStringLiteral("Configuration Tools"), text);
    };
    LogError = [](const std::exception* error, const QString& text) {
        std::optional<LoggedError> logged;
        if (error)
            logged = LoggedErrorFrom(*error);
        QString failure;
        WriteErrorLog(logged, text, &failure);
        return failure;
    };
    m_engine.FrameObserver = [this](const FrameEvent& event) {
        ClassifyAnswer(event);
        if (FrameObserver)
            FrameObserver(event);
    };
    // Drawing still waiting (what the last answer changed, and the activity
    // bar this tick moved) is done while the request and its answer are on
    // the line (38 ms for a live status at 19200 baud), rather than between
    // an answer and the next request.
    m_engine.WhileRequestOnLine = [this] {
        m_paintHold->Deliver();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    };
    connect(m_ui.Timer2, &QTimer::timeout, this, &LinkController::Timer2Timer);
    // A port that failed stays named until the user chooses another.
    if (auto* ports =
            m_formCom ? m_formCom->findChild<QComboBox*>(QStringLiteral("ComboBox1")) : nullptr)
        connect(ports, &QComboBox::editTextChanged, this, [this] {
            if (m_failedPortShown && !m_connected) {
                m_failedPortShown = false;
                m_ui.StatusBar_form->setPanelText(PortPanel, QString());
            }
        });
}

LinkController::~LinkController() = default;

bool LinkController::PortOpen() const {
    return m_engine.PortOpen();
}

bool LinkController::PollingActive() const {
    return m_ui.Timer2->isActive();
}

void LinkController::StopPolling() {
    m_ui.Timer2->stop();
}

void LinkController::StartPolling() {
    m_ui.Timer2->start();
}

void LinkController::Log(const std::exception* error, const QString& text) {
    // A log that cannot be written must not end the program: say why and go on.
    const QString failure = LogError ? LogError(error, text) : QString();
    if (!failure.isEmpty())
        ShowMessage(failure);
}

void LinkController::ConnectedDisplay() {
    m_ui.Action2->setText(DisconnectCaption);
    m_ui.StatusBar_form->setPanelText(0, ConnectCaption);
    m_ui.CommSetup1->setEnabled(false);
}

void LinkController::DisconnectedDisplay() {
    m_ui.Action2->setText(ConnectCaption);
    m_ui.StatusBar_form->setPanelText(0, DisconnectCaption);
    m_ui.CommSetup1->setEnabled(true);
    m_ui.Action4->setEnabled(false);
}

void LinkController::SetConnected(bool connected, const QString& failedPort) {
    m_ui.StatusBar_form->setPanelText(PortPanel, connected ? PortName() : failedPort);
    m_failedPortShown = !connected && !failedPort.isEmpty();
    m_connected = connected;
    if (!connected)
        ShowUnusable();
    emit StateChanged();
}

// The port as the system names it once opened, else as the user chose it.
QString LinkController::PortName() const {
    const TBlockSerial* serial = m_engine.Port();
    if (serial && !serial->Device().empty())
        return QString::fromStdString(serial->Device());
    return m_formCom ? m_formCom->COM : QString();
}

void LinkController::ShowFailure(const QString& text, LinkFailureKind kind, int openError) {
    const QString advice = LinkFailureAdvice(kind, PortName(), openError);
    ShowMessage(advice.isEmpty() ? text : text + QLatin1Char('\n') + advice);
}

// Every answer read, before the poll acts on it: one that the request
// cannot use counts towards the status bar's notice.
void LinkController::ClassifyAnswer(const FrameEvent& event) {
    if (event.kind != FrameEvent::Received)
        return;
    const Command::LinkBuffers& buffers = m_engine.Buffers();
    if (event.frameClass == Command::FrameClass::Malformed)
        m_unusable.Damaged(event.bytes, event.count, buffers.ExpectedLength);
    else if (event.frameClass == Command::FrameClass::Accepted)
        m_unusable.Accepted(buffers.PollRequest[3], event.bytes[3]);
}

void LinkController::ShowUnusable() {
    PanelStatusBar* bar = m_ui.StatusBar_form;
    const QString text = m_connected ? m_unusable.StatusText() : QString();
    if (!text.isEmpty()) {
        bar->setPanelText(NewsPanel, text);
    } else if (!m_unusableShown.isEmpty() && bar->panelText(NewsPanel) == m_unusableShown) {
        bar->setPanelText(NewsPanel, QString());
    }
    m_unusableShown = text;
}

void LinkController::Action2Execute() {
    if (m_ui.Action2->text() == ConnectCaption)
        Connect();
    else
        Disconnect();
}

void LinkController::Connect() {
    try {
        const QString com = m_formCom ? m_formCom->COM : QString();
        const LinkEngine::OpenResult opened =
            m_engine.Open(com, m_formCom ? m_formCom->TimeOut : 90);
        if (opened.kind == LinkEngine::OpenResult::NoPortName) {
            ShowMessage(QStringLiteral("set the COM port number"));
            return;
        }
        if (opened.kind == LinkEngine::OpenResult::Failed) {
            // The window's first line is the system's own text; the next one
            // says what to do (or, for refused access, which group to join).
            const bool systemFirst =
                opened.systemText.isEmpty() || opened.message.startsWith(opened.systemText);
            ShowFailure(systemFirst ? opened.message : opened.systemText,
                        LinkFailureKind::OpenFailed, opened.error);
            // Logged with the port, as the command line logs it.
            Log(nullptr, com + QStringLiteral(": ") + opened.message);
            DisconnectedDisplay();
            m_ui.Action2->setEnabled(true);
            m_ui.Timer2->stop();
            m_engine.Close();
            SetConnected(false, com);
            return;
        }
        m_unusable.Reset();
        ConnectedDisplay();
        // A write built on an earlier connection carries that detector's
        // configuration: it must never reach the one now on the line, which
        // is asked for its own configuration first.
        ForgetConfiguration();
        ShowReadingConfiguration(true);
        m_ui.Action4->setEnabled(true);
        m_ui.Timer2->start();
        emit Connected();
        SetConnected(true);
    } catch (const std::exception& error) {
        Log(&error, QString());
        ShowFailure(QString::fromLocal8Bit(error.what()), LinkFailureKind::OpenFailed);
        const QString port = PortName();
        DisconnectedDisplay();
        m_engine.Close();
        SetConnected(false, port);
    }
}

void LinkController::Disconnect() {
    m_ui.Timer2->stop();
    m_engine.Close();
    ForgetConfiguration();
    DisconnectedDisplay();
    SetConnected(false);
}

// Once the poll has stopped, the controls no longer show what a detector on
// the line holds (the next one may be another detector): a change made now
// stays on the screen, and a write already built is dropped.
void LinkController::ForgetConfiguration() {
    Buffers().ConfigShown = false;
    Buffers().WritePending = false;
    ShowReadingConfiguration(false);
}

// Until the configuration is on screen the controls act on nothing; the panel
// says why, in place of earlier news (where a file went). Ending it leaves
// alone any other text the panel has come to carry since.
void LinkController::ShowReadingConfiguration(bool reading) {
    PanelStatusBar* bar = m_ui.StatusBar_form;
    const QString shown = bar->panelText(ReadingPanel);
    if (reading)
        bar->setPanelText(ReadingPanel, ReadingConfiguration);
    else if (!reading && shown == ReadingConfiguration)
        bar->setPanelText(ReadingPanel, QString());
}

void LinkController::ExitLinkSide() {
    m_engine.ReleasePort();
    m_ui.Timer2->stop();
    SetConnected(false);
}

void LinkController::FormShowLinkSide() {
    Buffers().WritePending = false;
    Buffers().RequestLiveStatus();
}

void LinkController::PageControl1Change(int index) {
    if (!PortOpen())
        return;
    if (index == 0)
        RequestForViewPage();
    else if (index == 1)
        Buffers().RequestEventLog();
}

void LinkController::AdvanceActivityBar() {
    QProgressBar* bar = m_ui.ProgressBar_serial;
    SetBarPosition(bar, bar->value() < bar->maximum() ? bar->value() + 1 : bar->minimum());
}

void LinkController::Timer2Timer() {
    AdvanceActivityBar();
    const int timeout = m_formCom ? m_formCom->ReceiveTimeout() : 90;
    LinkEngine::StepResult result = LinkEngine::StepResult::NoPort;
    try {
        result = m_engine.Step(timeout);
    } catch (const std::exception& error) {
        ReceiveExceptionOutcome(error);
        return;
    }
    switch (result) {
    case LinkEngine::StepResult::NoPort:
        break;
    case LinkEngine::StepResult::Malformed:
        ShowUnusable();
        break;
    case LinkEngine::StepResult::Busy:
    case LinkEngine::StepResult::NoAnswer:
        return;
    case LinkEngine::StepResult::WriteSent:
        emit ConfigWriteSent();
        SetBarPosition(m_ui.ProgressBar_serial, m_ui.ProgressBar_serial->maximum());
        return;
    case LinkEngine::StepResult::TimedOut:
        TimeOutOutcome();
        return;
    case LinkEngine::StepResult::Accepted: {
        ConnectedDisplay();
        const bool wasShown = Buffers().ConfigShown;
        const bool configuration = Buffers().ReceiveBuffer[3] == Command::ReportConfig;
        m_engine.DispatchAccepted(m_sink);
        ShowUnusable();
        if (Buffers().ConfigShown)
            ShowReadingConfiguration(false);
        if (!wasShown && Buffers().ConfigShown)
            emit StateChanged();
        // On the LOGS page the configuration is read after Connect and after
        // a write; once it is shown the page goes back to its event log, as
        // changing to the page would, rather than waiting for a page change.
        if (configuration && Buffers().ConfigShown && m_ui.PageControl1->currentIndex() == 1)
            Buffers().RequestEventLog();
        // The next tick follows at once: its request goes out first.
        if (m_ui.Timer2->isActive())
            m_paintHold->Hold();
        break;
    }
    }
    RequestReset();
}

void LinkController::RequestReset() {
    if (m_ui.PageControl1->currentIndex() == 0)
        RequestForViewPage();
}

// The VIEW page shows live statuses, but only once the configuration is on
// screen: until then a lost or damaged configuration answer is asked for
// again rather than given up for good.
void LinkController::RequestForViewPage() {
    if (Buffers().ConfigShown || !PortOpen())
        Buffers().RequestLiveStatus();
    else
        Buffers().RequestConfigRead();
}

void LinkController::TimeOutOutcome() {
    m_ui.Timer2->stop();
    ForgetConfiguration();
    m_ui.Action2->setText(ConnectCaption);
    m_ui.StatusBar_form->setPanelText(0, DisconnectCaption);
    m_ui.CommSetup1->setEnabled(true);
    m_ui.Action4->setEnabled(false);
    // The readouts grey while the message is up.
    SetConnected(false, PortName());
    const QString record = m_engine.TimeOutRecord();
    ShowFailure(QStringLiteral("Error Time Out"), LinkFailureKind::TimedOut);
    Log(nullptr, record);
}

void LinkController::ReceiveExceptionOutcome(const std::exception& error) {
    m_ui.Timer2->stop();
    ForgetConfiguration();
    Log(&error, QString());
    m_ui.Action4->setEnabled(false);
    SetConnected(false, PortName());
    ShowFailure(QString::fromLocal8Bit(error.what()), LinkFailureKind::ReceiveFailed);
    m_ui.Action2->setText(ConnectCaption);
    m_ui.StatusBar_form->setPanelText(0, DisconnectCaption);
    m_ui.CommSetup1->setEnabled(true);
}
