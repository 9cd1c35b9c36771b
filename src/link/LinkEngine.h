#pragma once

#include "Command.h"
#include "FrameEvent.h"

#include <QString>

#include <array>
#include <functional>
#include <memory>

class ReportSink;
class TBlockSerial;

// The exchange with one detector over one serial port, without any widget:
// opening and setting up the port, one poll step (a pending configuration
// write, or a request and its answer within the receive time-out), the
// classification of the answer, the retry rule (six unanswered requests in a
// row end the connection) and the hand-over of accepted reports to a sink.
//
// An engine owns everything of its link (port, buffers, counters) and shares
// nothing, so one engine per port can run beside others, each on a thread of
// its own. Every call blocks its caller; one engine serves one thread only.
//
// Two faces use it: the window's poll tick calls Step() once per timer tick
// and adds messages and displays; the command line talks through
// DetectorSession, which runs the same steps at the same pace.
class LinkEngine {
public:
    LinkEngine();
    ~LinkEngine();
    LinkEngine(const LinkEngine&) = delete;
    LinkEngine& operator=(const LinkEngine&) = delete;

    struct OpenResult {
        enum Kind { Opened, NoPortName, Failed };
        Kind kind = Opened;
        QString message;      // Failed: the system's reason, with a hint when access was refused
        int error = 0;        // Failed: the system's error code
        QString systemText{}; // Failed: the system's own text for that code
    };
    // Creates the port object when there is none and closes a port left open,
    // then opens `portName` at 19200 baud, 8N1, no flow control. An empty name
    // opens nothing. On success the next request reads the configuration, and
    // the stale-input watch starts afresh; the retry count carries over, as a
    // halted connection left it. A failed open leaves the port to Close().
    OpenResult Open(const QString& portName, int atTimeout);
    void Close();       // closes the port, keeps the port object
    void ReleasePort(); // closes and destroys the port object
    bool PortOpen() const;
    bool HasPort() const { return static_cast<bool>(m_port); }
    TBlockSerial* Port() const { return m_port.get(); }

    Command::LinkBuffers& Buffers() { return m_buffers; }
    const Command::LinkBuffers& Buffers() const { return m_buffers; }
    int RetryCount() const { return m_retryCount; }

    enum class StepResult {
        NoPort,    // no open port: nothing was done
        Busy,      // the driver still holds output: nothing was sent
        WriteSent, // the pending configuration write went out; no answer is read
        NoAnswer,  // counted towards the retry limit; the same request goes again
        TimedOut,  // the sixth unanswered request in a row: the link has stopped
        Malformed, // dropped without counting; the receive buffer is cleared
        Accepted,  // in the receive buffer until DispatchAccepted()
    };
    // One poll tick's exchange. An exception escaping the receive passes
    // through, with the retry count as it was.
    StepResult Step(int receiveTimeoutMs);
    // Hands the accepted frame to `sink` by its report type and clears the
    // receive buffer.
    void DispatchAccepted(ReportSink& sink);

    // The error-log text of the time-out outcome, from the state it left.
    QString TimeOutRecord() const;

    const std::array<std::uint8_t, Command::Block10Length>& Report10Block() const {
        return m_report10;
    }

    // Told of every frame sent and of every answer read (valid during the call).
    std::function<void(const FrameEvent&)> FrameObserver;
    // Run after a request has been sent, while it and its answer are on the
    // line, before the receive waits.
    std::function<void()> WhileRequestOnLine;

private:
    void DiscardStaleInput(int limitMs);

    std::unique_ptr<TBlockSerial> m_port;
    Command::LinkBuffers m_buffers;
    int m_retryCount = 0;
    // Requests still to be sent only on a quiet line, after stray bytes or a
    // failed answer were seen.
    static constexpr int WatchfulRequests = 50;
    int m_watchfulRequests = 0;
    std::array<std::uint8_t, Command::Block10Length> m_report10{};
};
