// detector-sim: behaves as the detector on a pseudo-terminal, for the demo,
// the end-to-end tests and the benchmarks, or plays a recorded session back.
// See UsageText for the options.

#include "ControlCommand.h"
#include "Detector.h"
#include "Options.h"
#include "OutputPacer.h"
#include "PtyLink.h"
#include "Replay.h"
#include "Responder.h"
#include "StateFile.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

using namespace sim;

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char c = 1;
    [[maybe_unused]] const auto n = write(signalPipe[1], &c, 1);
}

void InstallSignalHandlers() {
    if (pipe2(signalPipe, O_NONBLOCK | O_CLOEXEC) != 0) {
        std::perror("detector-sim: pipe");
        std::exit(1);
    }
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN); // a closed stdout must not kill the detector
}

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void Say(const std::string& line) {
    std::printf("detector-sim: %s\n", line.c_str());
    std::fflush(stdout);
}

// While nobody has the port open the master reports a hang-up at once on
// every poll; looking again only this often keeps that from spinning.
constexpr std::int64_t PeerBackoffNs = 50'000'000;
constexpr std::int64_t IdleWakeNs = 100'000'000; // lets the scene move on its own
constexpr std::int64_t ReopenRetryNs = 1'000'000'000;

class Simulator {
public:
    Simulator(const std::string& linkPath, Responder& responder, std::string statePath)
        : statePath_(std::move(statePath)), responder_(responder), pty_(linkPath) {}

    bool Start(std::string& error) { return pty_.Open(error); }
    // A walk played each time the tool opens the port.
    void PlayOnOpen(std::string script) { playOnOpen_ = std::move(script); }
    const PtyLink& Port() const { return pty_; }
    int Run();

private:
    void ReadControl(std::int64_t now);
    void ReadPort(std::int64_t now);
    void WriteDue(std::int64_t now);
    void Apply(Reaction reaction, std::int64_t now);
    void PeerGone(std::int64_t now);
    void HangUp(std::int64_t now);
    void Reopen(std::int64_t now);
    void ToolArrived();

    std::string playOnOpen_;
    std::string statePath_;
    Responder& responder_;
    PtyLink pty_;
    OutputPacer pacer_;
    bool stop_ = false;
    bool stdinOpen_ = true;
    std::string controlLine_;
    bool peerPresent_ = false;
    bool writeBlocked_ = false;
    std::int64_t peerBackoffUntil_ = 0;
    std::optional<std::int64_t> reopenAt_;
};

int Simulator::Run() {
    while (!stop_) {
        std::int64_t now = NowNs();
        responder_.Advance(now / 1'000'000);
        if (reopenAt_ && now >= *reopenAt_)
            Reopen(now);
        if (pty_.IsOpen() && !writeBlocked_)
            WriteDue(now);

        std::vector<pollfd> fds{{signalPipe[0], POLLIN, 0}};
        const bool watchStdin = stdinOpen_;
        if (watchStdin)
            fds.push_back({STDIN_FILENO, POLLIN, 0});
        const bool watchPort = pty_.IsOpen() && now >= peerBackoffUntil_;
        if (watchPort)
            fds.push_back(
                {pty_.MasterFd(), static_cast<short>(POLLIN | (writeBlocked_ ? POLLOUT : 0)), 0});

        std::int64_t wake = now + IdleWakeNs;
        if (const auto due = pacer_.NextDueNs(); due && !writeBlocked_ && pty_.IsOpen())
            wake = std::min(wake, *due);
        if (reopenAt_)
            wake = std::min(wake, *reopenAt_);
        if (pty_.IsOpen() && !watchPort)
            wake = std::min(wake, peerBackoffUntil_);
        const std::int64_t waitNs = std::max<std::int64_t>(0, wake - now);
        const timespec timeout{static_cast<time_t>(waitNs / 1'000'000'000),
                               static_cast<long>(waitNs % 1'000'000'000)};
        if (ppoll(fds.data(), fds.size(), &timeout, nullptr) < 0 && errno != EINTR) {
            Say(std::string("poll failed: ") + std::strerror(errno));
            return 1;
        }
        now = NowNs();

        if (fds[0].revents & POLLIN) {
            Say("stopping");
            break;
        }
        std::size_t next = 1;
        if (watchStdin && fds[next++].revents)
            ReadControl(now);
        if (watchPort && pty_.IsOpen()) {
            const short ev = fds[next].revents;
            if (ev & POLLOUT)
                writeBlocked_ = false;
            if (ev & POLLIN)
                ReadPort(now);
            if ((ev & (POLLHUP | POLLERR)) && !(ev & POLLIN))
                PeerGone(now);
            else if (!(ev & (POLLHUP | POLLERR)) && !peerPresent_ && pty_.IsOpen()) {
                ToolArrived();
            }
        }
    }
    return 0;
}

void Simulator::ToolArrived() {
    peerPresent_ = true;
    Say("the tool opened the port");
    if (!playOnOpen_.empty())
        Say(responder_.Control("play " + playOnOpen_).reply);
}

void Simulator::ReadControl(std::int64_t now) {
    char buf[512];
    const ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
    if (n <= 0) {
        if (n == 0 || (errno != EINTR && errno != EAGAIN))
            stdinOpen_ = false; // no more commands; keep running
        return;
    }
    controlLine_.append(buf, static_cast<std::size_t>(n));
    for (std::size_t eol; (eol = controlLine_.find('\n')) != std::string::npos;) {
        const std::string line = controlLine_.substr(0, eol);
        controlLine_.erase(0, eol + 1);
        const ControlOutcome outcome = responder_.Control(line);
        if (!outcome.reply.empty())
            Say(outcome.reply);
        if (outcome.quit)
            stop_ = true;
        if (outcome.hangUpNow && pty_.IsOpen())
            HangUp(now);
    }
}

void Simulator::ReadPort(std::int64_t now) {
    std::uint8_t buf[512];
    for (;;) {
        const ssize_t n = read(pty_.MasterFd(), buf, sizeof buf);
        if (n > 0) {
            if (!peerPresent_) {
                ToolArrived();
            }
            Apply(responder_.Receive(buf, static_cast<std::size_t>(n), now / 1'000'000), now);
            if (!pty_.IsOpen())
                return; // hung up
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EIO)
            PeerGone(now);
        return; // EAGAIN: all read
    }
}

void Simulator::WriteDue(std::int64_t now) {
    const std::vector<std::uint8_t> due = pacer_.Due(now);
    if (due.empty())
        return;
    const ssize_t n = write(pty_.MasterFd(), due.data(), due.size());
    if (n > 0)
        pacer_.Consume(static_cast<std::size_t>(n));
    if (n >= 0 && static_cast<std::size_t>(n) < due.size())
        writeBlocked_ = true; // the tool is not reading; wait for room
    else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        writeBlocked_ = true;
    else if (n < 0)
        PeerGone(now);
}

void Simulator::Apply(Reaction reaction, std::int64_t now) {
    for (const std::string& line : reaction.log)
        Say(line);
    if (reaction.store) {
        std::string error;
        if (SaveState(statePath_, *reaction.store, error))
            Say("configuration stored to " + statePath_);
        else
            Say("cannot store the configuration: " + error);
    }
    for (const Answer& a : reaction.answers)
        pacer_.Enqueue(a.bytes, now, a.delayNs, a.gapNs);
    if (reaction.hangUp)
        HangUp(now);
    else
        WriteDue(now);
}

void Simulator::PeerGone(std::int64_t now) {
    if (peerPresent_)
        Say("the tool closed the port");
    peerPresent_ = false;
    writeBlocked_ = false;
    pacer_.Clear();
    responder_.LinkReset();
    // No flush here: the port may already be open again, and a flush would
    // eat the new session's first request. What the old session sent has been
    // read before the hang-up showed.
    peerBackoffUntil_ = now + PeerBackoffNs;
}

void Simulator::HangUp(std::int64_t now) {
    const int ms = responder_.HangupMs();
    Say("hanging up for " + std::to_string(ms) + " ms");
    pty_.Close();
    pacer_.Clear();
    responder_.LinkReset();
    peerPresent_ = false;
    writeBlocked_ = false;
    reopenAt_ = now + std::int64_t{ms} * 1'000'000;
}

void Simulator::Reopen(std::int64_t now) {
    std::string error;
    if (!pty_.Open(error)) {
        Say("cannot re-create the port: " + error);
        reopenAt_ = now + ReopenRetryNs;
        return;
    }
    reopenAt_.reset();
    peerBackoffUntil_ = 0;
    responder_.LinkReset();
    Say("port " + pty_.LinkPath() + " is back (" + pty_.DevicePath() + ")");
}

} // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IOLBF, 0);
    const OptionsResult parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "detector-sim: %s\n%s", parsed.error.c_str(), UsageText);
        return 2;
    }
    const SimOptions& options = parsed.options;
    if (options.help) {
        std::fputs(UsageText, stdout);
        return 0;
    }

    const std::string statePath =
        options.statePath.empty()
            ? DefaultStatePath(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"))
            : options.statePath;
    std::vector<std::string> startLines;
    std::unique_ptr<Responder> responder;
    if (options.replayPath.empty()) {
        responder = SimulatedDetector(options, statePath, startLines);
    } else {
        std::string error;
        std::optional<Recording> recording = LoadTrace(options.replayPath, error);
        if (!recording) {
            std::fprintf(stderr, "detector-sim: cannot replay %s\n", error.c_str());
            return 2;
        }
        auto replayer = std::make_unique<Replayer>(std::move(*recording), options.replayPath,
                                                   options.loop, options.timing.realTiming);
        startLines.push_back(replayer->Progress());
        responder = std::move(replayer);
    }

    InstallSignalHandlers();
    Simulator simulator(options.linkPath, *responder, statePath);
    simulator.PlayOnOpen(options.playScript);
    std::string error;
    if (!simulator.Start(error)) {
        std::fprintf(stderr, "detector-sim: %s\n", error.c_str());
        return 1;
    }
    // The first line is what scripts wait for.
    Say("port " + simulator.Port().LinkPath());
    Say("device " + simulator.Port().DevicePath());
    for (const std::string& line : startLines)
        Say(line);
    return simulator.Run();
}
