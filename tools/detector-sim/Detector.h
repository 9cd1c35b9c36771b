#pragma once

#include "Fault.h"
#include "FrameParser.h"
#include "LiveScene.h"
#include "SimConfig.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The detector's side of the protocol, free of any port: bytes from the tool
// go in, answers with their pacing, log lines and store requests come out.
namespace sim {

// One answer to send: `delayNs` after the request, then one byte every `gapNs`
// (0: all at once).
struct Answer {
    std::vector<std::uint8_t> bytes;
    std::int64_t delayNs = 0;
    std::int64_t gapNs = 0;
};

struct Reaction {
    std::vector<Answer> answers;
    std::vector<std::string> log;
    std::optional<SimConfig::Record> store; // the written configuration, to keep in flash
    bool hangUp = false;                    // close the port now (hangup fault)
};

struct Timing {
    bool realTiming = false; // pace bytes as a 19200-baud 8N1 line would
    int reactionMs = -1;     // -1: 2 ms with real timing, none without
};

// One byte of 8N1 (start, 8 data, stop) at 19200 baud, in nanoseconds.
inline constexpr std::int64_t ByteTimeNs = 10 * 1'000'000'000LL / 19200;

class Detector {
public:
    Detector(const SimConfig& config, std::uint32_t seed, int walkEveryMs);

    // Feeds what the tool sent at `nowMs` (monotonic clock).
    Reaction Receive(const std::uint8_t* data, std::size_t count, std::int64_t nowMs);

    // Lets the scene catch up with the clock.
    void Advance(std::int64_t nowMs) { scene_.AdvanceTo(nowMs, config_); }

    // The tool closed the port or the port was re-created: a half-received
    // frame is gone and the hang-up count starts again.
    void LinkReset();

    void SetFault(const FaultSettings& fault);
    const FaultSettings& Fault() const { return fault_; }
    void SetTiming(const Timing& timing) { timing_ = timing; }
    const Timing& GetTiming() const { return timing_; }

    const SimConfig& Config() const { return config_; }
    LiveScene& Scene() { return scene_; }
    int RequestsSeen() const { return requests_; }

private:
    void HandleRequest(std::uint8_t code, Reaction& reaction);
    std::vector<std::uint8_t> BuildAnswer(std::uint8_t code);

    SimConfig config_;
    LiveScene scene_;
    FrameParser parser_;
    FaultSettings fault_;
    Timing timing_;
    int requests_ = 0;          // since the fault mode was set, for every-nth
    int answeredSinceLink_ = 0; // since the port was (re)opened, for hangup
};

} // namespace sim
