#pragma once

#include "ControlCommand.h"
#include "Detector.h"
#include "Options.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Whatever answers the tool on the port: the simulated detector with its
// moving scene, or a recorded session played back.
namespace sim {

class Responder {
public:
    virtual ~Responder() = default;
    // Bytes from the tool at `nowMs` (monotonic clock).
    virtual Reaction Receive(const std::uint8_t* data, std::size_t count, std::int64_t nowMs) = 0;
    // Lets anything that moves on its own catch up with the clock.
    virtual void Advance(std::int64_t nowMs) = 0;
    // The port was closed or re-created: a half-received frame is gone.
    virtual void LinkReset() = 0;
    // One command line from standard input.
    virtual ControlOutcome Control(std::string_view line) = 0;
    // How long the port stays away after a hang-up.
    virtual int HangupMs() const = 0;
};

class DetectorResponder final : public Responder {
public:
    explicit DetectorResponder(Detector detector) : detector_(std::move(detector)) {}
    Reaction Receive(const std::uint8_t* data, std::size_t count, std::int64_t nowMs) override {
        return detector_.Receive(data, count, nowMs);
    }
    void Advance(std::int64_t nowMs) override { detector_.Advance(nowMs); }
    void LinkReset() override { detector_.LinkReset(); }
    ControlOutcome Control(std::string_view line) override { return ApplyControl(line, detector_); }
    int HangupMs() const override { return detector_.Fault().HangupMs; }

private:
    Detector detector_;
};

// The simulated detector, with the configuration the flash file at
// `statePath` holds; `lines` get what to say once the port is up.
std::unique_ptr<Responder> SimulatedDetector(const SimOptions& options,
                                             const std::string& statePath,
                                             std::vector<std::string>& lines);

} // namespace sim
