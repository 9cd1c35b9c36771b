#include "LinkEngine.h"

#include "PermissionHint.h"
#include "ReportSink.h"
#include "synaser.h"

#include <QElapsedTimer>

#include <algorithm>

LinkEngine::LinkEngine() = default;

LinkEngine::~LinkEngine() = default;

bool LinkEngine::PortOpen() const {
    return m_port && m_port->InstanceActive();
}

LinkEngine::OpenResult LinkEngine::Open(const QString& portName, int atTimeout) {
    if (!m_port)
        m_port = std::make_unique<TBlockSerial>();
    m_port->CloseSocket();
    m_port->SetRaiseExcept(false);
    if (portName.isEmpty())
        return {OpenResult::NoPortName, {}};
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
    m_port->Connect(portName.toStdString());
    note();
    bool ok = false;
    int baud = QStringLiteral("19200").toInt(&ok);
    if (!ok)
        baud = 19200;
    m_port->Config(baud, 8, 'N', 0, false, false);
    note();
    m_port->SetSizeRecvBuffer(128);
    note();
    m_port->SetAtTimeout(atTimeout);
    m_port->SetCommState();
    note();
    if (firstError != 0) {
        const QString device = QString::fromStdString(m_port->Device());
        const QString notSerial = NotSerialPortText(device, firstError);
        return {OpenResult::Failed, !notSerial.isEmpty()
                                        ? notSerial
                                        : firstErrorDesc + PermissionHint(device, firstError)};
    }
    // A write built before this connection carries another detector's (or
    // another connection's) configuration: the first frame is always the
    // request for this detector's own.
    m_buffers.ConfigShown = false;
    m_buffers.WritePending = false;
    m_watchfulRequests = 0;
    m_buffers.RequestConfigRead();
    return {};
}

void LinkEngine::Close() {
    if (PortOpen())
        m_port->CloseSocket();
}

void LinkEngine::ReleasePort() {
    if (m_port) {
        m_port->CloseSocket();
        m_port.reset();
    }
}

LinkEngine::StepResult LinkEngine::Step(int receiveTimeoutMs) {
    if (!PortOpen())
        return StepResult::NoPort;
    if (m_buffers.WritePending) {
        if (m_port->SendingData() != 0)
            return StepResult::Busy;
        const int length = m_buffers.OutgoingFrame[2] + 5;
        m_port->SendBuffer(m_buffers.OutgoingFrame.data(), length);
        if (FrameObserver)
            FrameObserver({FrameEvent::WriteSent, m_buffers.OutgoingFrame.data(), length});
        m_buffers.WritePending = false;
        return StepResult::WriteSent;
    }
    if (m_port->SendingData() != 0)
        return StepResult::Busy;
    DiscardStaleInput(receiveTimeoutMs);
    m_port->SendBuffer(m_buffers.PollRequest.data(), Command::RequestLength);
    if (FrameObserver)
        FrameObserver(
            {FrameEvent::RequestSent, m_buffers.PollRequest.data(), Command::RequestLength});
    if (WhileRequestOnLine)
        WhileRequestOnLine();
    m_buffers.ReceiveBuffer.fill(0);
    const int count = m_port->RecvBufferEx(m_buffers.ReceiveBuffer.data(), m_buffers.ExpectedLength,
                                           receiveTimeoutMs);
    const Command::FrameClass frameClass = Command::ClassifyFrame(
        m_buffers.ReceiveBuffer, count, m_buffers.ExpectedLength, m_port->LastError());
    if (FrameObserver)
        FrameObserver({FrameEvent::Received, m_buffers.ReceiveBuffer.data(), count, frameClass});
    switch (frameClass) {
    case Command::FrameClass::NoAnswer:
        m_watchfulRequests = WatchfulRequests;
        if (m_retryCount == 5) {
            m_retryCount = 0;
            return StepResult::TimedOut;
        }
        ++m_retryCount;
        return StepResult::NoAnswer;
    case Command::FrameClass::Malformed:
        m_watchfulRequests = WatchfulRequests;
        m_port->Flush();
        m_buffers.ReceiveBuffer.fill(0);
        return StepResult::Malformed;
    case Command::FrameClass::Accepted:
        break;
    }
    m_retryCount = 0;
    return StepResult::Accepted;
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
void LinkEngine::DiscardStaleInput(int limitMs) {
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

void LinkEngine::DispatchAccepted(ReportSink& sink) {
    const std::uint8_t* payload = m_buffers.ReceiveBuffer.data() + 4;
    switch (m_buffers.ReceiveBuffer[3]) {
    case Command::ReportPwm:
        sink.PwmReport(payload);
        break;
    case Command::ReportLiveStatus:
        sink.LiveStatusReport(payload);
        break;
    case Command::ReportConfig:
        sink.ConfigReport(payload);
        m_buffers.ConfigShown = true;
        break;
    case Command::ReportBlock10:
        std::copy_n(payload, m_report10.size(), m_report10.begin());
        break;
    case Command::ReportEventLog:
        sink.EventLogReport(payload);
        break;
    default:
        // Any other type is a sign of life and carries nothing.
        break;
    }
    m_buffers.ReceiveBuffer.fill(0);
}

QString LinkEngine::TimeOutRecord() const {
    return QStringLiteral(" BuffRX[0]= %1 LenRX= %2 message: %3")
        .arg(m_buffers.ReceiveBuffer[0])
        .arg(m_buffers.ExpectedLength)
        .arg(m_port ? QString::fromStdString(m_port->LastErrorDesc()) : QString());
}
