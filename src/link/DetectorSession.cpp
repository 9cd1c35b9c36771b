#include "DetectorSession.h"

#include "synaser.h"

#include <algorithm>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// The poll timer's interval: one exchange per tick, as the window does.
constexpr auto TickInterval = std::chrono::milliseconds(10);
// Answers in a row that are damaged or not the report asked for.
constexpr int UnusableAnswerLimit = 6;
// How long output may stay queued in the driver before the port counts as
// stuck: many times the line time of the longest frame.
constexpr auto StuckOutputLimit = std::chrono::seconds(1);

QString NotConnected() {
    return QString::fromStdString(TBlockSerial::GetErrorDesc(SynaSer::ErrPortNotOpen));
}

} // namespace

bool LogLinkFailure(const LinkFailure& failure, QString* errorText) {
    return WriteErrorLog(failure.error, failure.logText, errorText);
}

DetectorSession::DetectorSession(const QString& portName, int receiveTimeoutMs)
    : m_portName(portName), m_timeoutMs(receiveTimeoutMs) {}

bool DetectorSession::Fail(const QString& message, const QString& logText,
                           std::optional<LoggedError> error) {
    m_failure = {message, std::move(error), logText};
    return false;
}

bool DetectorSession::FailStuckOutput() {
    const QString message = QStringLiteral("The port does not send: its output stays queued.");
    return Fail(message, m_portName + QStringLiteral(": ") + message);
}

// The window's message and record, with the port's reason where it is more
// than the time-out itself (a port that went away), and the port named: with
// several ports at once the record must say which one stopped.
bool DetectorSession::FailTimeOut() {
    QString message = QStringLiteral("Error Time Out");
    const TBlockSerial* port = m_engine.Port();
    if (port && port->LastError() != 0 && port->LastError() != SynaSer::ErrTimeout)
        message += QStringLiteral(": ") + QString::fromStdString(port->LastErrorDesc());
    return Fail(message, m_portName + QStringLiteral(":") + m_engine.TimeOutRecord());
}

bool DetectorSession::Stopping() {
    if (!m_interrupted && StopRequested && StopRequested()) {
        m_interrupted = true;
        Fail(QStringLiteral("interrupted"), QString());
    }
    return m_interrupted;
}

bool DetectorSession::Connect() {
    m_configRead = false;
    if (Stopping())
        return false;
    try {
        const LinkEngine::OpenResult opened = m_engine.Open(m_portName, m_timeoutMs);
        if (opened.kind == LinkEngine::OpenResult::NoPortName)
            return Fail(QStringLiteral("set the COM port number"), QString());
        if (opened.kind == LinkEngine::OpenResult::Failed) {
            m_engine.Close();
            return Fail(opened.message, m_portName + QStringLiteral(": ") + opened.message);
        }
    } catch (const std::exception& error) {
        m_engine.Close();
        return Fail(QString::fromLocal8Bit(error.what()), QString(), LoggedErrorFrom(error));
    }
    m_nextTick = Clock::now();
    return true;
}

void DetectorSession::Close() {
    m_engine.Close();
}

LinkEngine::StepResult DetectorSession::NextStep() {
    std::this_thread::sleep_until(m_nextTick);
    m_nextTick = std::max(m_nextTick + TickInterval, Clock::now());
    return m_engine.Step(m_timeoutMs);
}

bool DetectorSession::Ask(std::uint8_t requestCode, std::uint8_t reportType, std::uint8_t* payload,
                          int length, bool otherTypesAnswer, bool* gotType) {
    Command::LinkBuffers& buffers = m_engine.Buffers();
    buffers.SelectRequest(requestCode);
    int unusable = 0;
    const Clock::time_point start = Clock::now();
    try {
        for (;;) {
            if (Stopping())
                return false;
            switch (NextStep()) {
            case LinkEngine::StepResult::NoPort:
                return Fail(NotConnected(), QString());
            case LinkEngine::StepResult::Busy:
                if (Clock::now() - start > StuckOutputLimit)
                    return FailStuckOutput();
                continue;
            case LinkEngine::StepResult::WriteSent:
            case LinkEngine::StepResult::NoAnswer:
                continue;
            case LinkEngine::StepResult::TimedOut:
                return FailTimeOut();
            case LinkEngine::StepResult::Malformed:
                break;
            case LinkEngine::StepResult::Accepted:
                if (buffers.ReceiveBuffer[3] == reportType) {
                    std::copy_n(buffers.ReceiveBuffer.begin() + 4, length, payload);
                    buffers.ReceiveBuffer.fill(0);
                    if (gotType)
                        *gotType = true;
                    return true;
                }
                buffers.ReceiveBuffer.fill(0);
                if (otherTypesAnswer) {
                    if (gotType)
                        *gotType = false;
                    return true;
                }
                break;
            }
            if (++unusable == UnusableAnswerLimit) {
                const QString message =
                    QStringLiteral("No valid answer: %1 damaged or unexpected answers to request "
                                   "%2 in a row.")
                        .arg(UnusableAnswerLimit)
                        .arg(requestCode, 2, 16, QChar(u'0'));
                return Fail(message, m_portName + QStringLiteral(": ") + message);
            }
        }
    } catch (const std::exception& error) {
        return Fail(QString::fromLocal8Bit(error.what()), QString(), LoggedErrorFrom(error));
    }
}

bool DetectorSession::ReadConfiguration(ConfigPayload& payload) {
    if (!Ask(Command::CmdConfigRead, Command::ReportConfig, payload.data(),
             static_cast<int>(payload.size())))
        return false;
    m_configRead = true;
    return true;
}

bool DetectorSession::ReadEventLog(EventLogPayload& payload) {
    return Ask(Command::CmdEventLog, Command::ReportEventLog, payload.data(),
               static_cast<int>(payload.size()));
}

bool DetectorSession::PollLiveStatus(
    std::chrono::milliseconds duration,
    const std::function<void(const std::uint8_t* status58)>& onStatus) {
    std::array<std::uint8_t, Command::LiveStatusLength> status{};
    const Clock::time_point end = Clock::now() + duration;
    while (Clock::now() < end) {
        bool isStatus = false;
        if (!Ask(Command::CmdLiveStatus, Command::ReportLiveStatus, status.data(),
                 static_cast<int>(status.size()), true, &isStatus))
            return false;
        if (isStatus && onStatus)
            onStatus(status.data());
    }
    return true;
}

bool DetectorSession::WriteConfiguration(const Command::ConfigWriteFrame& frame) {
    // Writing a configuration that was never read would overwrite settings
    // nobody has looked at.
    if (!m_configRead)
        return Fail(QStringLiteral("Nothing is written before the detector's configuration has "
                                   "been read."),
                    QString());
    Command::LinkBuffers& buffers = m_engine.Buffers();
    buffers.OutgoingFrame = frame;
    buffers.WritePending = true;
    buffers.RequestConfigRead();
    const Clock::time_point start = Clock::now();
    try {
        for (;;) {
            if (Stopping()) {
                buffers.WritePending = false;
                return false;
            }
            switch (NextStep()) {
            case LinkEngine::StepResult::WriteSent:
                return true;
            case LinkEngine::StepResult::Busy:
                if (Clock::now() - start > StuckOutputLimit)
                    return FailStuckOutput();
                continue;
            default:
                // With a write pending the engine does nothing else.
                return Fail(NotConnected(), QString());
            }
        }
    } catch (const std::exception& error) {
        return Fail(QString::fromLocal8Bit(error.what()), QString(), LoggedErrorFrom(error));
    }
}
