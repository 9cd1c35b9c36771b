#include "Options.h"

#include "WalkScript.h"

#include <charconv>

namespace sim {

const char* const UsageText =
    "usage: detector-sim [options]\n"
    "Behaves as the detector on a pseudo-terminal reached through a symbolic link.\n"
    "  --link PATH          name of the port (default /tmp/ttyVD0)\n"
    "  --state PATH         file that keeps the stored configuration\n"
    "                       (default $XDG_STATE_HOME/detector-sim/config.bin)\n"
    "  --real-timing        pace answers as a 19200-baud 8N1 line, after the request's own\n"
    "                       line time\n"
    "  --reaction-ms N      delay before an answer starts (default 2 with --real-timing, else 0)\n"
    "  --fault MODE         none, silent, bad-checksum, checksum-with-type, short, surplus,\n"
    "                       trickle, every-nth, type7, type11, type9, hangup\n"
    "  --every N            every-nth: answer only every n-th request (default 2)\n"
    "  --trickle-ms N       trickle: gap before each answer byte (default 5)\n"
    "  --hangup-after K     hangup: requests answered before the port goes away (default 10)\n"
    "  --hangup-ms N        hangup: how long the port stays away (default 1000)\n"
    "  --walk-every S       mean seconds between walk-throughs, 0 = only on command (default 20)\n"
    "  --play WALK          play this walk each time the tool opens the port: steps\n"
    "                       FLAG[+FLAG...]:MS, e.g. \"quiet:1000 mw:800 quiet:500\n"
    "                       pir2+out1:1200 quiet:500 tamper:600\"; flags mw, pir1, pir2,\n"
    "                       mask1, mask2, tamper, noise1, noise2, out1, out2, out3, power,\n"
    "                       mwfault, pir1fault, pir2fault, cpufault, autotest, quiet\n"
    "  --seed N             seed of the scene's randomness\n"
    "  --replay TRACE       answer with the frames of a session recorded by\n"
    "                       detector-config --trace, each kind in recorded order\n"
    "  --loop               with --replay: start a kind over when its answers are used up\n"
    "  --help               this text\n"
    "Commands on standard input, one per line: fault MODE, every N, trickle-ms N,\n"
    "hangup-after K, hangup-ms N, reaction-ms N, real-timing on|off, walk, knock, cover,\n"
    "play [WALK] (alone: MW, then Pir Down Under with Out #1, then the tamper),\n"
    "hangup, status, quit; while replaying: status, real-timing on|off, quit.\n";

std::optional<int> ParseNumber(std::string_view text, int min, int max) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < min || value > max)
        return std::nullopt;
    return value;
}

std::string DefaultStatePath(const char* xdgStateHome, const char* home) {
    const std::string tail = "/detector-sim/config.bin";
    if (xdgStateHome && *xdgStateHome == '/')
        return xdgStateHome + tail;
    if (home && *home)
        return std::string(home) + "/.local/state" + tail;
    return "config.bin";
}

OptionsResult ParseOptions(const std::vector<std::string>& args) {
    OptionsResult result;
    SimOptions& o = result.options;
    // The scene's options, which a replay has no use for: the recording
    // decides what is answered and when.
    std::string sceneOption;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); name.starts_with("--") && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue)
                return inlineValue;
            if (i + 1 < args.size())
                return args[++i];
            return std::nullopt;
        };
        auto fail = [&](const std::string& why) {
            result.error = why;
            return result;
        };
        auto number = [&](int min, int max, int& target) -> bool {
            const auto text = value();
            if (!text) {
                result.error = name + " needs a value";
                return false;
            }
            const auto n = ParseNumber(*text, min, max);
            if (!n) {
                result.error = name + ": '" + *text + "' is not a number from " +
                               std::to_string(min) + " to " + std::to_string(max);
                return false;
            }
            target = *n;
            return true;
        };

        if ((name == "--help" || name == "--real-timing" || name == "--loop") && inlineValue)
            return fail(name + " takes no value");
        if (name != "--help" && name != "-h" && name != "--real-timing" && name != "--link" &&
            name != "--replay" && name != "--loop")
            sceneOption = name;
        if (name == "--help" || name == "-h") {
            o.help = true;
        } else if (name == "--real-timing") {
            o.timing.realTiming = true;
        } else if (name == "--loop") {
            o.loop = true;
        } else if (name == "--replay") {
            const auto text = value();
            if (!text || text->empty())
                return fail("--replay needs a trace file");
            o.replayPath = *text;
        } else if (name == "--link" || name == "--state") {
            const auto text = value();
            if (!text || text->empty())
                return fail(name + " needs a path");
            (name == "--link" ? o.linkPath : o.statePath) = *text;
        } else if (name == "--fault") {
            const auto text = value();
            if (!text)
                return fail("--fault needs a mode");
            const auto mode = ParseFaultMode(*text);
            if (!mode)
                return fail("--fault: unknown mode '" + *text + "'");
            o.fault.Mode = *mode;
        } else if (name == "--reaction-ms") {
            if (!number(0, 10'000, o.timing.reactionMs))
                return result;
        } else if (name == "--every") {
            if (!number(1, 1'000'000, o.fault.Every))
                return result;
        } else if (name == "--trickle-ms") {
            if (!number(0, 10'000, o.fault.TrickleMs))
                return result;
        } else if (name == "--hangup-after") {
            if (!number(0, 1'000'000, o.fault.HangupAfter))
                return result;
        } else if (name == "--hangup-ms") {
            if (!number(0, 600'000, o.fault.HangupMs))
                return result;
        } else if (name == "--walk-every") {
            if (!number(0, 3600, o.walkEverySec))
                return result;
        } else if (name == "--play") {
            const auto text = value();
            std::string why;
            if (!text || !ParseWalkScript(*text, why))
                return fail("--play: " + (text ? why : std::string("needs a walk")));
            o.playScript = *text;
        } else if (name == "--seed") {
            int seed = 0;
            if (!number(0, 2'147'483'647, seed))
                return result;
            o.seed = static_cast<std::uint32_t>(seed);
        } else {
            return fail("unknown option '" + args[i] + "'");
        }
    }
    if (o.loop && o.replayPath.empty())
        result.error = "--loop needs --replay";
    else if (!o.replayPath.empty() && !sceneOption.empty())
        result.error =
            "--replay plays the recording as it is; " + sceneOption + " does not go with it";
    return result;
}

} // namespace sim
