#pragma once

#include "EventLog.h"
#include "LiveStatus.h"
#include "SimConfig.h"
#include "WalkScript.h"

#include <array>
#include <cstdint>
#include <optional>
#include <random>

// What the detector sees: a quiet field with noise, a person walking through
// the MW and PIR zones now and then, temperature drifting through the day,
// the tamper accelerometer at rest. The scene runs on its own clock in fixed
// steps, so it moves the same whether the tool polls fast, slow or not at all.
namespace sim {

class LiveScene {
public:
    static constexpr int StepMs = 10;
    static constexpr int OutputHoldMs = 2000; // a tripped relay stays on this long
    static constexpr int KnockMs = 1500;
    static constexpr int MaskMs = 3000;

    // `walkEveryMs` is the mean time between walk-throughs; 0 means only on request.
    LiveScene(std::uint32_t seed, int walkEveryMs);

    void SetWalkEvery(int ms);

    // A person enters the field at the next step. `strength` is the peak of
    // each channel as a multiple of its threshold (above 1 trips it); by
    // default each channel gets its own random one between 0.7 and 1.8.
    void StartWalk(std::optional<double> strength = std::nullopt);

    // Someone knocks on the housing (tamper) or covers the lens (mask #1).
    void Knock();
    void Cover();
    // Plays `steps` from the next step on: their flags replace the scene's
    // detections, outputs and faults, and the levels of a detecting channel
    // rise above its threshold. The scene takes over again after the last.
    void PlayWalk(std::vector<WalkStep> steps);
    bool PlayingWalk() const { return !script_.empty(); }

    // Runs the steps up to `nowMs` (a monotonic clock). The first call only
    // sets the origin; a gap of more than a minute is skipped, not replayed.
    void AdvanceTo(std::int64_t nowMs, const SimConfig& config);

    const LiveStatus& Status() const { return status_; }
    const EventLog& Events() const { return events_; }
    bool Walking() const { return walking_; }
    int WalksDone() const { return walksDone_; }
    double TemperatureC() const { return temperature_; }

private:
    struct Channel {
        double nominal = 0;  // quiet level
        double base = 0;     // quiet level, wandering
        double level = 0;    // filtered level
        double direct = 0;   // unfiltered level
        double peak = 0;     // height of this walk's bump
        double zoneFrom = 0; // part of the walk spent in this channel's field
        double zoneTo = 1;
        double refJitter = 0;
        bool detected = false;
        std::int64_t lastDetectMs = -1;
        double walkMax = 0;
        bool detectedInWalk = false;
    };
    enum { Mw, Pir1, Pir2 };

    void Step(const SimConfig& config);
    void BeginWalk(const SimConfig& config);
    void EndWalk();
    void ScheduleNextWalk();
    double Gauss(double sigma);
    double Uniform(double from, double to);

    std::mt19937 rng_;
    int walkEveryMs_;
    std::int64_t originMs_ = -1;
    std::int64_t simMs_ = 0;
    std::int64_t nextWalkMs_ = 0;

    std::array<Channel, 3> channels_;
    double temperature_ = 21;
    double tempDrift_ = 0;
    double acc1_ = 115, acc2_ = 112, acc1Noise_ = 25, acc2Noise_ = 35, maskLevel_ = 80;
    std::int64_t knockUntilMs_ = -1;
    std::int64_t coverUntilMs_ = -1;
    std::array<std::int64_t, 3> outputUntilMs_{-1, -1, -1};

    bool walking_ = false;
    std::optional<std::optional<double>> pendingWalk_;
    std::int64_t walkStartMs_ = 0;
    int walkDurationMs_ = 0;
    bool walkAlarm_ = false;
    double walkMaxAcc1_ = 0, walkMaxAcc2_ = 0, walkMaxNoise1_ = 0, walkMaxNoise2_ = 0;
    int walksDone_ = 0;

    std::vector<WalkStep> script_;
    std::int64_t scriptStartMs_ = 0;
    // The step of the script at this moment, if one is playing.
    const WalkStep* ScriptStep();

    LiveStatus status_;
    EventLog events_ = EventLog::Plausible();
};

} // namespace sim
