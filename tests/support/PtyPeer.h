#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <termios.h>

// A scripted serial peer for tests: the far end of a real pseudo-terminal.
//
// The tool under test opens SlavePath() like any serial port; the peer holds
// the master side. Both ends start in raw mode. The peer can
//   - read what the tool wrote (ReadAvailable / ReadExactly),
//   - write bytes at once (Write) or on a timetable in the background
//     (Play with PeerScript steps, e.g. Trickle()),
//   - answer requests in a background thread (StartResponder): each complete
//     request the tool sends (STX, 16-bit LEN high byte first, LEN + 5 bytes
//     in all: the 6-byte requests and the 46-byte configuration writes) is
//     handed to the responder, whose script is then played from that moment,
//   - hang up (HangUp, or a step with hangUp set): the master is closed and
//     the tool's port sees a hang-up,
//   - report the requests it saw (RequestCount, Requests).
//
// Thread rules: call everything from the test's thread. Do not read directly
// (ReadAvailable / ReadExactly) while a responder runs; the responder thread
// owns the input then. Writes and scripts may be mixed freely.
//
// Everything is bounded: no call waits longer than the time it is given.
namespace TestSupport {

using Bytes = std::vector<std::uint8_t>;

// One output step: `delayMs` after the previous step of the same script (the
// first step: after the script was started), write `bytes`, then close the
// master when `hangUp` is set.
struct PeerStep {
    int delayMs = 0;
    Bytes bytes;
    bool hangUp = false;
};
using PeerScript = std::vector<PeerStep>;

// `bytes` in pieces of `chunkSize`, the first after `firstDelayMs`, each
// further one `gapMs` after the previous.
PeerScript Trickle(const Bytes& bytes, std::size_t chunkSize, int gapMs, int firstDelayMs = 0);

// A report frame as the detector sends it: 02 00 LEN type payload checksum 03,
// LEN = payload size, the checksum over the payload only.
Bytes MakeReport(std::uint8_t type, const Bytes& payload);

class PtyPeer {
public:
    // Returns the script to play in answer to one request; an empty script
    // means no answer.
    using Responder = std::function<PeerScript(const Bytes& request)>;

    PtyPeer(); // throws std::runtime_error when no pseudo-terminal is available
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    // The device path the tool opens.
    const std::string& SlavePath() const { return m_slavePath; }

    // --- Output --------------------------------------------------------------
    void Write(const Bytes& bytes);
    // Plays the steps in the background, timed from now.
    void Play(const PeerScript& script);
    // Waits until every step handed to Play has run and, with a responder,
    // every request the tool has written so far has been answered in full.
    // False when that did not happen within `timeoutMs`.
    bool WaitIdle(int timeoutMs);

    // --- Input (only while no responder runs) --------------------------------
    // Waits up to `waitMs` for the first byte, then takes all that is queued.
    Bytes ReadAvailable(int waitMs = 0);
    // Collects up to `count` bytes within `timeoutMs`.
    Bytes ReadExactly(std::size_t count, int timeoutMs);

    // --- Responder -----------------------------------------------------------
    void StartResponder(Responder responder);
    void StopResponder();
    int RequestCount() const;
    std::vector<Bytes> Requests() const;

    // --- Line state ----------------------------------------------------------
    // Closes the master now (waits until it is closed).
    void HangUp();
    bool HungUp() const;
    // The terminal settings the tool left on its port.
    termios SlaveSettings() const;
    // Puts the port back into the terminal's cooked defaults (echo, line
    // editing, CR/LF translation), to check that the tool sets its own mode.
    void SetSlaveCooked();

private:
    using Clock = std::chrono::steady_clock;
    struct Pending {
        Bytes bytes;
        bool hangUp = false;
    };

    void Run();
    void Schedule(const PeerScript& script, Clock::time_point start);
    void WriteAll(const Bytes& bytes);
    void CloseMaster();
    void Wake();
    void TakeRequests(std::vector<Bytes>& complete);

    int m_master = -1;
    int m_slave = -1;
    int m_wake[2] = {-1, -1};
    std::string m_slavePath;

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::multimap<Clock::time_point, Pending> m_pending;
    bool m_busy = false; // a step is being written
    bool m_stop = false;
    bool m_hungUp = false;
    Responder m_responder;
    Bytes m_input;
    std::vector<Bytes> m_requests;
    std::mutex m_writeLock;
    std::thread m_worker;
};

} // namespace TestSupport
