#include "Detector.h"

#include "Command.h"
#include "Report.h"

#include <algorithm>

namespace sim {

Detector::Detector(const SimConfig& config, std::uint32_t seed, int walkEveryMs)
    : config_(config), scene_(seed, walkEveryMs) {}

void Detector::LinkReset() {
    parser_.Reset();
    answeredSinceLink_ = 0;
}

void Detector::SetFault(const FaultSettings& fault) {
    fault_ = fault;
    fault_.Every = std::max(1, fault_.Every);
    requests_ = 0;
    answeredSinceLink_ = 0;
}

Reaction Detector::Receive(const std::uint8_t* data, std::size_t count, std::int64_t nowMs) {
    Reaction reaction;
    if (fault_.Mode == FaultMode::Silent) {
        parser_.Reset(); // a dead line: nothing arrives
        return reaction;
    }
    Advance(nowMs);
    for (const IncomingFrame& frame : parser_.Feed(data, count, nowMs)) {
        if (reaction.hangUp)
            break; // the port is going away; the rest is lost with it
        switch (frame.kind) {
        case IncomingFrame::Kind::Request:
            HandleRequest(frame.code, reaction);
            break;
        case IncomingFrame::Kind::ConfigWrite: {
            bool store = false;
            config_ = SimConfig::FromWriteBody(frame.body.data(), &store);
            reaction.log.push_back("configuration written: " + config_.Describe());
            if (store)
                reaction.store = config_.ToRecord();
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

void Detector::HandleRequest(std::uint8_t code, Reaction& reaction) {
    ++requests_;
    if (fault_.Mode == FaultMode::Hangup && answeredSinceLink_ >= fault_.HangupAfter) {
        reaction.hangUp = true;
        return;
    }
    if (fault_.Mode == FaultMode::EveryNth && requests_ % fault_.Every != 0)
        return;
    ++answeredSinceLink_;

    Answer answer;
    answer.bytes = ApplyFault(fault_.Mode, BuildAnswer(code), config_);
    const int reactionMs = timing_.reactionMs >= 0 ? timing_.reactionMs
                           : timing_.realTiming    ? 2
                                                   : 0;
    answer.delayNs = std::int64_t{reactionMs} * 1'000'000;
    // A pseudo-terminal hands over the request at once; on a real line its
    // last byte arrives a request's line time after the first.
    if (timing_.realTiming)
        answer.delayNs += Command::RequestLength * ByteTimeNs;
    std::int64_t gap = timing_.realTiming ? ByteTimeNs : 0;
    if (fault_.Mode == FaultMode::Trickle)
        gap = std::max<std::int64_t>(gap, std::int64_t{fault_.TrickleMs} * 1'000'000);
    answer.gapNs = gap;
    reaction.answers.push_back(std::move(answer));
}

std::vector<std::uint8_t> Detector::BuildAnswer(std::uint8_t code) {
    switch (code) {
    case Command::CmdLiveStatus: {
        const auto p = EncodeLiveStatus(scene_.Status());
        return BuildReport(Command::ReportLiveStatus, p.data(), p.size());
    }
    case Command::CmdConfigRead: {
        const auto p = config_.ReportPayload();
        return BuildReport(Command::ReportConfig, p.data(), p.size());
    }
    default: {
        const auto p = scene_.Events().Payload();
        return BuildReport(Command::ReportEventLog, p.data(), p.size());
    }
    }
}

} // namespace sim
