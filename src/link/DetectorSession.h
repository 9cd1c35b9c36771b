#pragma once

#include "Command.h"
#include "ErrorLog.h"
#include "LinkEngine.h"

#include <QString>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

// A link failure: what the user is told, and the record for the error log.
struct LinkFailure {
    QString message;
    std::optional<LoggedError> error; // the error object of the record, if any
    QString logText;
};

// Appends the failure's record to the error log. Not safe to call from two
// threads at once (the log is one file): callers on several threads
// serialise. False, with a text for the user, when the log cannot be written.
bool LogLinkFailure(const LinkFailure& failure, QString* errorText = nullptr);

// Blocking conversations with one detector, for faces without a window. It
// drives its own LinkEngine at the window's pace: one exchange per 10 ms
// tick, the receive time-out given, the same retry rule (six unanswered
// requests in a row end it with "Error Time Out"). It also gives up after six
// answers that are damaged or not the report asked for, where the window
// would go on polling. Each call returns false on a link failure, described
// by Failure(); the port then stays as it was left, and Close() or the
// destructor closes it. One session per port and per thread.
//
// Reading only, for example a report of N seconds of live statuses:
//
//     DetectorSession session(QStringLiteral("/dev/ttyUSB0"), 90);
//     DetectorSession::ConfigPayload config;
//     DetectorSession::EventLogPayload events;
//     if (!session.Connect() || !session.ReadConfiguration(config) ||
//         !session.ReadEventLog(events) ||
//         !session.PollLiveStatus(std::chrono::seconds(n),
//                                 [&](const std::uint8_t* status58) { ... }))
//         fail(session.Failure()); // exit status 3, LogLinkFailure, message
//
// Nothing is ever written unless WriteConfiguration() is called, and that
// refuses to write before the detector's configuration has been read on the
// same connection.
class DetectorSession {
public:
    using ConfigPayload = std::array<std::uint8_t, Command::ConfigBodyLength>;
    using EventLogPayload = std::array<std::uint8_t, Command::EventLogLength>;

    DetectorSession(const QString& portName, int receiveTimeoutMs);

    const QString& PortName() const { return m_portName; }
    const LinkFailure& Failure() const { return m_failure; }
    // The engine, for a frame observer (a trace) before Connect().
    LinkEngine& Engine() { return m_engine; }

    // Asked before every exchange: once it says stop, the call under way
    // returns false without sending anything more, and Interrupted() is true.
    // The exchange on the line is always finished first.
    std::function<bool()> StopRequested;
    bool Interrupted() const { return m_interrupted; }

    bool Connect();
    void Close();

    // Report 9: the 40 bytes of the configuration as the detector holds it.
    bool ReadConfiguration(ConfigPayload& payload);
    // Report 12: the ten event records.
    bool ReadEventLog(EventLogPayload& payload);
    // Asks for live statuses for `duration`, calling `onStatus` with each
    // 58-byte payload received (valid during the call only). Other accepted
    // answers (a report 7, a type 11) are answers too: they keep the link up
    // but carry no status. Damaged answers end it as in every other call.
    bool PollLiveStatus(std::chrono::milliseconds duration,
                        const std::function<void(const std::uint8_t* status58)>& onStatus);
    // Sends a complete configuration write; no answer is read. The next
    // ReadConfiguration() reads back what the detector made of it.
    bool WriteConfiguration(const Command::ConfigWriteFrame& frame);

private:
    // One exchange per tick: waits for the tick, then runs one engine step.
    LinkEngine::StepResult NextStep();
    // Sends `requestCode` until a report of `reportType` is accepted, and
    // copies its first `length` payload bytes.
    // With `otherTypesAnswer`, an accepted report of another type ends the
    // call too, with true and `*gotType` false.
    bool Ask(std::uint8_t requestCode, std::uint8_t reportType, std::uint8_t* payload, int length,
             bool otherTypesAnswer = false, bool* gotType = nullptr);
    // True (after noting the failure) once StopRequested says stop.
    bool Stopping();
    bool Fail(const QString& message, const QString& logText,
              std::optional<LoggedError> error = std::nullopt);
    bool FailStuckOutput();
    bool FailTimeOut();

    QString m_portName;
    int m_timeoutMs;
    LinkEngine m_engine;
    LinkFailure m_failure;
    bool m_configRead = false;
    bool m_interrupted = false;
    std::chrono::steady_clock::time_point m_nextTick{};
};
