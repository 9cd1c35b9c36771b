#include "Replay.h"

#include "Command.h"
#include "SimConfig.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace sim {

namespace {

std::string RequestName(std::uint8_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "request %02X", code);
    return text;
}

} // namespace

Replayer::Replayer(Recording recording, std::string name, bool loop, bool realTiming)
    : recording_(std::move(recording)), name_(std::move(name)), loop_(loop),
      realTiming_(realTiming) {
    for (const std::uint8_t code :
         {Command::CmdLiveStatus, Command::CmdConfigRead, Command::CmdEventLog})
        recording_.answers[code]; // every kind has its list, empty if never asked
}

Reaction Replayer::Receive(const std::uint8_t* data, std::size_t count, std::int64_t nowMs) {
    Reaction reaction;
    for (const IncomingFrame& frame : parser_.Feed(data, count, nowMs)) {
        switch (frame.kind) {
        case IncomingFrame::Kind::Request:
            Play(frame.code, reaction);
            break;
        case IncomingFrame::Kind::ConfigWrite: {
            bool store = false;
            const SimConfig written = SimConfig::FromWriteBody(frame.body.data(), &store);
            reaction.log.push_back("configuration written, not replayed: " + written.Describe());
            if (store)
                reaction.log.emplace_back("store to flash asked; a replay stores nothing");
            break;
        }
        case IncomingFrame::Kind::Unknown:
        case IncomingFrame::Kind::Malformed:
            reaction.log.push_back(IgnoredFrameText(frame));
            break;
        }
    }
    return reaction;
}

void Replayer::Play(std::uint8_t code, Reaction& reaction) {
    const std::vector<RecordedAnswer>& answers = recording_.answers[code];
    std::size_t& next = next_[code];
    if (next == answers.size()) {
        if (!loop_ || answers.empty()) {
            if (!toldUsedUp_[code])
                reaction.log.push_back(RequestName(code) +
                                       ": no recorded answer left, not answering");
            toldUsedUp_[code] = true;
            return;
        }
        next = 0;
        ++rounds_[code];
        reaction.log.push_back(RequestName(code) + ": the recording starts over");
    }
    const RecordedAnswer& recorded = answers[next++];

    // The recorded wait ends when the tool had read the last byte; the first
    // one arrived an answer's line time (at 19200 baud) earlier, and from then
    // on the answer is there: paced at line speed with real timing, whole at
    // once without. Sent at the recorded end instead, an answer longer than
    // the tool's time-out (the 226-byte event log, 118 ms on the line) would
    // always come late and be taken for the answer to the next request. Never
    // before the request itself could have crossed the line.
    const std::int64_t earliestNs = realTiming_ ? Command::RequestLength * ByteTimeNs : 0;
    const auto lineNs = static_cast<std::int64_t>(recorded.bytes.size()) * ByteTimeNs;
    Answer answer;
    answer.bytes = recorded.bytes;
    answer.gapNs = realTiming_ ? ByteTimeNs : 0;
    // What arrived before the tool gave up waiting goes out at once: sent at
    // the recorded end of the wait, it would come after the tool's time-out
    // and be thrown away before the next request.
    answer.delayNs = recorded.wholeFrame
                         ? std::max(recorded.delayMs * 1'000'000 - lineNs, earliestNs)
                         : earliestNs;
    if (!answer.bytes.empty())
        reaction.answers.push_back(std::move(answer));
}

ControlOutcome Replayer::Control(std::string_view line) {
    std::istringstream in{std::string(line)};
    std::string cmd, arg, extra;
    in >> cmd >> arg >> extra;
    ControlOutcome outcome;
    if (cmd.empty())
        return outcome;
    if (cmd == "status" && arg.empty()) {
        outcome.reply = "ok " + Progress();
    } else if (cmd == "quit" && arg.empty()) {
        outcome.quit = true;
        outcome.reply = "ok quit";
    } else if (cmd == "real-timing" && (arg == "on" || arg == "off") && extra.empty()) {
        realTiming_ = arg == "on";
        outcome.reply = "ok real-timing " + arg;
    } else {
        outcome.reply = "error: while replaying, the commands are status, real-timing on|off "
                        "and quit";
    }
    return outcome;
}

std::string Replayer::Progress() const {
    std::string text = "replaying " + name_ + (loop_ ? " in a loop" : "") + ":";
    const char* separator = " ";
    for (const auto& [code, answers] : recording_.answers) {
        const auto at = next_.find(code);
        const auto round = rounds_.find(code);
        text += separator + RequestName(code) + " " +
                std::to_string(at == next_.end() ? 0 : at->second) + " of " +
                std::to_string(answers.size()) + " answers played";
        if (round != rounds_.end())
            text += " (" + std::to_string(round->second) + " times through)";
        separator = ", ";
    }
    return text;
}

} // namespace sim
