#pragma once

#include "FrameParser.h"
#include "Responder.h"
#include "TraceFile.h"

#include <map>
#include <string>

// Plays a recorded session back: each request is answered with the next
// recorded answer to a request of its kind, byte for byte, after the wait the
// recording shows. Configuration writes are taken and printed but change
// nothing: the recording is what the detector says.
namespace sim {

class Replayer final : public Responder {
public:
    // `name` is how `status` names the recording. With `loop`, a kind whose
    // answers are used up starts over; without it, its requests go unanswered.
    Replayer(Recording recording, std::string name, bool loop, bool realTiming);

    Reaction Receive(const std::uint8_t* data, std::size_t count, std::int64_t nowMs) override;
    void Advance(std::int64_t) override {}
    void LinkReset() override { parser_.Reset(); }
    ControlOutcome Control(std::string_view line) override;
    int HangupMs() const override { return 0; }

    // "request 08: 12 of 40 answers played, ..." for each kind recorded.
    std::string Progress() const;

private:
    void Play(std::uint8_t code, Reaction& reaction);

    Recording recording_;
    std::string name_;
    bool loop_;
    bool realTiming_;
    FrameParser parser_;
    std::map<std::uint8_t, std::size_t> next_; // per request code
    std::map<std::uint8_t, int> rounds_;       // times a kind was played through, with loop
    std::map<std::uint8_t, bool> toldUsedUp_;
};

} // namespace sim
