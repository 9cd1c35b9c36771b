#include "LinkController.h"

#include "BarPosition.h"
#include "ComSetup.h"
#include "ErrorLog.h"
#include "PanelStatusBar.h"
#include "PermissionHint.h"
#include "ReportSink.h"
#include "synaser.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QMessageBox>
#include <QProgressBar>
#include <QTabWidget>
#include <QTimer>

namespace {

const QString ConnectCaption = QStringLiteral("Connect");
const QString DisconnectCaption = QStringLiteral("Disconnect");
const QString ReadingConfiguration = QStringLiteral("Reading configuration...");
// The wide status panel that is otherwise empty.
constexpr int ReadingPanel = 1;

} // namespace

LinkController::LinkController(const Controls& controls, TFormCom* formCom, ReportSink& sink,
                               QObject* parent)
    : QObject(parent), m_ui(controls), m_formCom(formCom), m_sink(sink) {
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
    connect(m_ui.Timer2, &QTimer::timeout, this, &LinkController::Timer2Timer);
}

LinkController::~LinkController() = default;

bool LinkController::PortOpen() const {
    return m_port && m_port->InstanceActive();
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

void LinkController::Action2Execute() {
    if (m_ui.Action2->text() == ConnectCaption)
        Connect();
    else
        Disconnect();
}

void LinkController::Connect() {
    if (!m_port)
        m_port = std::make_unique<TBlockSerial>();
    try {
        m_port->CloseSocket();
        m_port->SetRaiseExcept(false);
        const QString com = m_formCom ? m_formCom->COM : QString();
        if (com.isEmpty()) {
            ShowMessage(QStringLiteral("set the COM port number"));
            return;
        }
        // Every step replaces the port's last error, so remember the first
        // failure: once the port could not be opened, later steps only fail on
        // the missing handle and would hide the reason.
        int firstError = 0;
        QString firstErrorDesc;
        auto note = [&] {
            if (firstError == 0 && m_port->LastError() != 0) {
                firstError = m_port->LastError();
                firstErrorDesc = QString::fromStdString(m_port->LastErrorDesc());
            }
        };
        m_port->Connect(com.toStdString());
        note();
        bool ok = false;
        int baud = QStringLiteral("19200").toInt(&ok);
        if (!ok)
            baud = 19200;
        m_port->Config(baud, 8, 'N', 0, false, false);
        note();
        m_port->SetSizeRecvBuffer(128);
        note();
        m_port->SetAtTimeout(m_formCom ? m_formCom->TimeOut : 90);
        m_port->SetCommState();
        note();
        if (firstError != 0) {
            ShowMessage(firstErrorDesc +
                        PermissionHint(QString::fromStdString(m_port->Device()), firstError));
            DisconnectedDisplay();
            m_ui.Action2->setEnabled(true);
            m_ui.Timer2->stop();
            if (PortOpen())
                m_port->CloseSocket();
            return;
        }
        ConnectedDisplay();
        // A write built on an earlier connection carries that detector's
        // configuration: it must never reach the one now on the line, which
        // is asked for its own configuration first.
        ForgetConfiguration();
        ShowReadingConfiguration(true);
        m_watchfulRequests = 0;
        m_buffers.RequestConfigRead();
        m_ui.Action4->setEnabled(true);
        m_ui.Timer2->start();
    } catch (const std::exception& error) {
        Log(&error, QString());
        ShowMessage(QString::fromLocal8Bit(error.what()));
        DisconnectedDisplay();
        if (PortOpen())
            m_port->CloseSocket();
    }
}

void LinkController::Disconnect() {
    m_ui.Timer2->stop();
    if (PortOpen())
        m_port->CloseSocket();
    ForgetConfiguration();
    DisconnectedDisplay();
}

// Once the poll has stopped, the controls no longer show what a detector on
// the line holds (the next one may be another detector): a change made now
// stays on the screen, and a write already built is dropped.
void LinkController::ForgetConfiguration() {
    m_buffers.ConfigShown = false;
    m_buffers.WritePending = false;
    ShowReadingConfiguration(false);
}

// Until the configuration is on screen the controls act on nothing; the panel
// says why. It leaves alone any other text the panel may carry.
void LinkController::ShowReadingConfiguration(bool reading) {
    PanelStatusBar* bar = m_ui.StatusBar_form;
    const QString shown = bar->panelText(ReadingPanel);
    if (reading && shown.isEmpty())
        bar->setPanelText(ReadingPanel, ReadingConfiguration);
    else if (!reading && shown == ReadingConfiguration)
        bar->setPanelText(ReadingPanel, QString());
}

void LinkController::ExitLinkSide() {
    if (m_port) {
        m_port->CloseSocket();
        m_port.reset();
    }
    m_ui.Timer2->stop();
}

void LinkController::FormShowLinkSide() {
    m_buffers.WritePending = false;
    m_buffers.RequestLiveStatus();
}

void LinkController::PageControl1Change(int index) {
    if (!PortOpen())
        return;
    if (index == 0)
        RequestForViewPage();
    else if (index == 1)
        m_buffers.RequestEventLog();
}

void LinkController::AdvanceActivityBar() {
    QProgressBar* bar = m_ui.ProgressBar_serial;
    SetBarPosition(bar, bar->value() < bar->maximum() ? bar->value() + 1 : bar->minimum());
}

void LinkController::Timer2Timer() {
    AdvanceActivityBar();
    if (PortOpen()) {
        if (m_buffers.WritePending) {
            if (m_port->SendingData() != 0)
                return;
            const int length = m_buffers.OutgoingFrame[2] + 5;
            m_port->SendBuffer(m_buffers.OutgoingFrame.data(), length);
            if (FrameObserver)
                FrameObserver({FrameEvent::WriteSent, m_buffers.OutgoingFrame.data(), length});
            m_buffers.WritePending = false;
            SetBarPosition(m_ui.ProgressBar_serial, m_ui.ProgressBar_serial->maximum());
            return;
        }
        if (m_port->SendingData() != 0)
            return;
        const int timeout = m_formCom ? m_formCom->ReceiveTimeout() : 90;
        DiscardStaleInput(timeout);
        m_port->SendBuffer(m_buffers.PollRequest.data(), Command::RequestLength);
        if (FrameObserver)
            FrameObserver(
                {FrameEvent::RequestSent, m_buffers.PollRequest.data(), Command::RequestLength});
        // Drawing still waiting (such as the activity bar this tick moved) is
        // done now, while this request and its answer are on the line (38 ms
        // for a live status at 19200 baud), rather than after the answer. The
        // event loop draws what the answer changes before the next tick.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        m_buffers.ReceiveBuffer.fill(0);
        int count = 0;
        try {
            count = m_port->RecvBufferEx(m_buffers.ReceiveBuffer.data(), m_buffers.ExpectedLength,
                                         timeout);
        } catch (const std::exception& error) {
            ReceiveExceptionOutcome(error);
            return;
        }
        const Command::FrameClass frameClass = Command::ClassifyFrame(
            m_buffers.ReceiveBuffer, count, m_buffers.ExpectedLength, m_port->LastError());
        if (FrameObserver)
            FrameObserver(
                {FrameEvent::Received, m_buffers.ReceiveBuffer.data(), count, frameClass});
        switch (frameClass) {
        case Command::FrameClass::NoAnswer:
            m_watchfulRequests = WatchfulRequests;
            if (m_retryCount == 5)
                TimeOutOutcome();
            else
                ++m_retryCount;
            return;
        case Command::FrameClass::Malformed:
            m_watchfulRequests = WatchfulRequests;
            m_port->Flush();
            m_buffers.ReceiveBuffer.fill(0);
            break;
        case Command::FrameClass::Accepted:
            m_retryCount = 0;
            ConnectedDisplay();
            Dispatch();
            m_buffers.ReceiveBuffer.fill(0);
            break;
        }
    }
    RequestReset();
}

// Whatever is still queued when a request is about to go out cannot belong to
// its answer: line noise, or the tail of an earlier answer. Reading the next
// frame behind it would misalign every frame after it and halt a detector
// that answers perfectly well. On a real line such a tail is often still on
// the wire when the next tick starts, so a purge alone can come too early:
// once the line has shown stray bytes (or an answer went wrong), each request
// waits until the line has been quiet for 3.5 character times (1.8 ms at
// 19200 baud), bounded by the receive time-out, and purges what came. After
// enough clean requests the line is trusted again: a clean line costs no
// wait at all.
void LinkController::DiscardStaleInput(int limitMs) {
    constexpr int QuietLineMs = 2;
    bool sawStale = !m_port->LineBuffer().empty() || m_port->WaitingData() > 0;
    if (!sawStale && m_watchfulRequests == 0)
        return;
    QElapsedTimer waited;
    waited.start();
    m_port->PurgeInput();
    while (m_port->CanRead(QuietLineMs) && waited.elapsed() < limitMs) {
        sawStale = true;
        m_port->PurgeInput();
    }
    m_port->PurgeInput();
    m_watchfulRequests = sawStale ? WatchfulRequests : m_watchfulRequests - 1;
}

void LinkController::Dispatch() {
    const std::uint8_t* payload = m_buffers.ReceiveBuffer.data() + 4;
    switch (m_buffers.ReceiveBuffer[3]) {
    case Command::ReportPwm:
        m_sink.PwmReport(payload);
        break;
    case Command::ReportLiveStatus:
        m_sink.LiveStatusReport(payload);
        break;
    case Command::ReportConfig:
        m_sink.ConfigReport(payload);
        m_buffers.ConfigShown = true;
        ShowReadingConfiguration(false);
        break;
    case Command::ReportBlock10:
        std::copy_n(payload, m_report10.size(), m_report10.begin());
        break;
    case Command::ReportEventLog:
        m_sink.EventLogReport(payload);
        break;
    default:
        // Any other type is a sign of life and carries nothing.
        break;
    }
}

void LinkController::RequestReset() {
    if (m_ui.PageControl1->currentIndex() == 0)
        RequestForViewPage();
}

// The VIEW page shows live statuses, but only once the configuration is on
// screen: until then a lost or damaged configuration answer is asked for
// again rather than given up for good.
void LinkController::RequestForViewPage() {
    if (m_buffers.ConfigShown || !PortOpen())
        m_buffers.RequestLiveStatus();
    else
        m_buffers.RequestConfigRead();
}

void LinkController::TimeOutOutcome() {
    m_retryCount = 0;
    m_ui.Timer2->stop();
    ForgetConfiguration();
    m_ui.Action2->setText(ConnectCaption);
    m_ui.StatusBar_form->setPanelText(0, DisconnectCaption);
    m_ui.CommSetup1->setEnabled(true);
    m_ui.Action4->setEnabled(false);
    const QString record = QStringLiteral(" BuffRX[0]= %1 LenRX= %2 message: %3")
                               .arg(m_buffers.ReceiveBuffer[0])
                               .arg(m_buffers.ExpectedLength)
                               .arg(QString::fromStdString(m_port->LastErrorDesc()));
    ShowMessage(QStringLiteral("Error Time Out"));
    Log(nullptr, record);
}

void LinkController::ReceiveExceptionOutcome(const std::exception& error) {
    m_ui.Timer2->stop();
    ForgetConfiguration();
    Log(&error, QString());
    m_ui.Action4->setEnabled(false);
    ShowMessage(QString::fromLocal8Bit(error.what()));
    m_ui.Action2->setText(ConnectCaption);
    m_ui.StatusBar_form->setPanelText(0, DisconnectCaption);
    m_ui.CommSetup1->setEnabled(true);
}
