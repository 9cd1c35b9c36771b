#include "ControlCommand.h"

#include "Options.h"
#include "WalkScript.h"

#include <sstream>
#include <vector>

namespace sim {

namespace {

std::vector<std::string> Words(std::string_view line) {
    std::istringstream in{std::string(line)};
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

std::string FaultText(const FaultSettings& f) {
    std::string text = "fault " + std::string(FaultModeName(f.Mode));
    switch (f.Mode) {
    case FaultMode::EveryNth:
        text += " every " + std::to_string(f.Every);
        break;
    case FaultMode::Trickle:
        text += " trickle-ms " + std::to_string(f.TrickleMs);
        break;
    case FaultMode::Hangup:
        text += " hangup-after " + std::to_string(f.HangupAfter) + " hangup-ms " +
                std::to_string(f.HangupMs);
        break;
    default:
        break;
    }
    return text;
}

} // namespace

ControlOutcome ApplyControl(std::string_view line, Detector& detector) {
    ControlOutcome outcome;
    const std::vector<std::string> w = Words(line);
    if (w.empty())
        return outcome;
    const std::string& cmd = w[0];
    auto error = [&](const std::string& why) {
        outcome.reply = "error: " + why;
        return outcome;
    };
    auto arg = [&]() -> const std::string* { return w.size() == 2 ? &w[1] : nullptr; };

    FaultSettings fault = detector.Fault();
    if (cmd == "fault") {
        const auto mode = arg() ? ParseFaultMode(*arg()) : std::nullopt;
        if (!mode)
            return error("fault needs one of the modes listed by --help");
        fault.Mode = *mode;
        detector.SetFault(fault);
        outcome.reply = "ok " + FaultText(fault);
    } else if (cmd == "every" || cmd == "trickle-ms" || cmd == "hangup-after" ||
               cmd == "hangup-ms") {
        const int min = cmd == "every" ? 1 : 0;
        const auto n = arg() ? ParseNumber(*arg(), min, 600'000) : std::nullopt;
        if (!n)
            return error(cmd + " needs a number from " + std::to_string(min) + " to 600000");
        (cmd == "every"          ? fault.Every
         : cmd == "trickle-ms"   ? fault.TrickleMs
         : cmd == "hangup-after" ? fault.HangupAfter
                                 : fault.HangupMs) = *n;
        detector.SetFault(fault);
        outcome.reply = "ok " + FaultText(fault);
    } else if (cmd == "reaction-ms") {
        const auto n = arg() ? ParseNumber(*arg(), 0, 10'000) : std::nullopt;
        if (!n)
            return error("reaction-ms needs a number from 0 to 10000");
        Timing t = detector.GetTiming();
        t.reactionMs = *n;
        detector.SetTiming(t);
        outcome.reply = "ok reaction-ms " + std::to_string(*n);
    } else if (cmd == "real-timing") {
        if (!arg() || (*arg() != "on" && *arg() != "off"))
            return error("real-timing needs on or off");
        Timing t = detector.GetTiming();
        t.realTiming = *arg() == "on";
        detector.SetTiming(t);
        outcome.reply = "ok real-timing " + *arg();
    } else if (cmd == "play") {
        // The rest of the line is the walk; alone, the walk a new user is shown.
        const std::string_view rest = w.size() == 1 ? std::string_view(DefaultWalkScript)
                                                    : line.substr(line.find("play") + 4);
        std::string why;
        auto steps = ParseWalkScript(rest, why);
        if (!steps)
            return error("play: " + why);
        int ms = 0;
        for (const WalkStep& step : *steps)
            ms += step.Ms;
        detector.Scene().PlayWalk(std::move(*steps));
        outcome.reply = "ok play " + std::to_string(ms) + " ms";
    } else if (w.size() != 1) {
        return error("'" + cmd + "' takes no argument or is unknown");
    } else if (cmd == "walk") {
        detector.Scene().StartWalk();
        outcome.reply = "ok walk";
    } else if (cmd == "knock") {
        detector.Scene().Knock();
        outcome.reply = "ok knock";
    } else if (cmd == "cover") {
        detector.Scene().Cover();
        outcome.reply = "ok cover";
    } else if (cmd == "hangup") {
        outcome.hangUpNow = true;
        outcome.reply = "ok hangup " + std::to_string(fault.HangupMs) + " ms";
    } else if (cmd == "status") {
        outcome.reply = "ok " + FaultText(fault) + ", " + std::to_string(detector.RequestsSeen()) +
                        " requests in this mode, " + detector.Config().Describe();
    } else if (cmd == "quit") {
        outcome.quit = true;
        outcome.reply = "ok quit";
    } else {
        return error("unknown command '" + cmd + "'");
    }
    return outcome;
}

} // namespace sim
