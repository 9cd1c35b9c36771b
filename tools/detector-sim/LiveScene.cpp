#include "LiveScene.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sim {

namespace {

constexpr std::int64_t MaxCatchUpMs = 60'000;
constexpr double DayCycleMs = 15 * 60 * 1000.0; // a compressed "day" for the temperature
constexpr int AutoTestEveryMs = 120'000;
constexpr int AutoTestLastsMs = 3'000;
constexpr int MaskThreshold = 600;

// Smooth bump: 0 outside [from, to], rising to 1 in the middle.
double Bump(double x, double from, double to) {
    if (x <= from || x >= to)
        return 0;
    return 0.5 - 0.5 * std::cos(2 * std::numbers::pi * (x - from) / (to - from));
}

std::uint16_t Level(double v, double max = 65535) {
    return static_cast<std::uint16_t>(std::lrint(std::clamp(v, 0.0, max)));
}

std::int8_t Tilt(double v) {
    return static_cast<std::int8_t>(std::lrint(std::clamp(v, -128.0, 127.0)));
}

} // namespace

LiveScene::LiveScene(std::uint32_t seed, int walkEveryMs) : rng_(seed), walkEveryMs_(walkEveryMs) {
    const double nominal[3] = {45, 60, 55};
    const double zones[3][2] = {{0.05, 0.95}, {0.15, 0.75}, {0.30, 0.90}};
    for (int c = 0; c < 3; ++c) {
        channels_[c].nominal = channels_[c].base = channels_[c].level = channels_[c].direct =
            nominal[c];
        channels_[c].zoneFrom = zones[c][0];
        channels_[c].zoneTo = zones[c][1];
    }
    ScheduleNextWalk();
}

void LiveScene::SetWalkEvery(int ms) {
    walkEveryMs_ = ms;
    ScheduleNextWalk();
}

void LiveScene::StartWalk(std::optional<double> strength) {
    pendingWalk_ = strength;
}

void LiveScene::Knock() {
    knockUntilMs_ = simMs_ + KnockMs;
}

void LiveScene::Cover() {
    coverUntilMs_ = simMs_ + MaskMs;
}

void LiveScene::PlayWalk(std::vector<WalkStep> steps) {
    script_ = std::move(steps);
    scriptStartMs_ = simMs_;
}

const WalkStep* LiveScene::ScriptStep() {
    std::int64_t at = simMs_ - scriptStartMs_;
    for (const WalkStep& step : script_) {
        if (at < step.Ms)
            return &step;
        at -= step.Ms;
    }
    script_.clear();
    return nullptr;
}

double LiveScene::Gauss(double sigma) {
    return std::normal_distribution<double>(0, sigma)(rng_);
}

double LiveScene::Uniform(double from, double to) {
    return std::uniform_real_distribution<double>(from, to)(rng_);
}

void LiveScene::ScheduleNextWalk() {
    nextWalkMs_ = simMs_ + static_cast<std::int64_t>(walkEveryMs_ * Uniform(0.5, 1.5));
}

void LiveScene::AdvanceTo(std::int64_t nowMs, const SimConfig& config) {
    if (originMs_ < 0) {
        originMs_ = nowMs;
        Step(config); // a first status that is already consistent with the configuration
        return;
    }
    std::int64_t behind = nowMs - originMs_;
    if (behind > MaxCatchUpMs) {
        originMs_ = nowMs - MaxCatchUpMs;
        behind = MaxCatchUpMs;
    }
    for (; behind >= StepMs; behind -= StepMs) {
        originMs_ += StepMs;
        Step(config);
    }
}

void LiveScene::BeginWalk(const SimConfig& config) {
    const std::uint16_t thresholds[3] = {config.Mw.TRange, config.Pir1.TRange, config.Pir2.TRange};
    for (int c = 0; c < 3; ++c) {
        Channel& ch = channels_[c];
        const double s = pendingWalk_->value_or(Uniform(0.7, 1.8));
        // Peak above the quiet level, so that s = 1 just reaches the threshold.
        const double threshold = std::max<double>(thresholds[c], 20);
        ch.peak = std::clamp(s * threshold - ch.nominal, 0.0, 950.0);
        ch.walkMax = ch.level;
        ch.detectedInWalk = false;
    }
    walking_ = true;
    walkStartMs_ = simMs_;
    walkDurationMs_ = static_cast<int>(Uniform(3000, 5000));
    walkAlarm_ = false;
    walkMaxAcc1_ = acc1_;
    walkMaxAcc2_ = acc2_;
    walkMaxNoise1_ = acc1Noise_;
    walkMaxNoise2_ = acc2Noise_;
    pendingWalk_.reset();
}

void LiveScene::EndWalk() {
    walking_ = false;
    ++walksDone_;
    EventRecord r;
    if (channels_[Mw].detectedInWalk)
        r.Flags |= EvMw;
    if (channels_[Pir1].detectedInWalk)
        r.Flags |= EvUpPir;
    if (channels_[Pir2].detectedInWalk)
        r.Flags |= EvDownPir;
    if (walkAlarm_)
        r.Flags |= EvGenAlarm;
    if (r.Flags == 0)
        r.Flags = EvNone;
    r.MaxMw = Level(channels_[Mw].walkMax);
    r.MaxPirAbove = Level(channels_[Pir1].walkMax);
    r.MaxPirUnder = Level(channels_[Pir2].walkMax);
    r.MaxMask1 = Level(walkMaxAcc1_);
    r.MaxMask2 = Level(walkMaxAcc2_);
    r.NoiseIr1 = Level(walkMaxNoise1_);
    r.NoiseIr2 = Level(walkMaxNoise2_);
    r.Ntc = static_cast<std::int16_t>(std::lrint(temperature_));
    r.Aux = static_cast<std::uint16_t>(walksDone_);
    events_.Push(r);
    ScheduleNextWalk();
}

void LiveScene::Step(const SimConfig& config) {
    simMs_ += StepMs;

    // Temperature: a slow daily swing plus a little wander, kept to 18..24 °C.
    tempDrift_ = std::clamp(tempDrift_ + Gauss(0.01), -1.0, 1.0);
    temperature_ = std::clamp(
        21 + 2.2 * std::sin(2 * std::numbers::pi * simMs_ / DayCycleMs) + tempDrift_, 18.0, 24.0);
    const bool tempComp = config.Flags & FlagTempComp;
    // With temperature compensation the detector chooses the PIR noise
    // reduction itself: warm air gives less contrast, so it filters more.
    const bool autoNoise = std::lrint(temperature_) >= 22;
    const bool noise[3] = {(config.Flags & FlagNoiseMw) != 0,
                           tempComp ? autoNoise : (config.Flags & FlagNoisePir1) != 0,
                           tempComp ? autoNoise : (config.Flags & FlagNoisePir2) != 0};

    const WalkStep* scripted = ScriptStep();
    if (pendingWalk_ && !walking_)
        BeginWalk(config);
    else if (!walking_ && !scripted && walkEveryMs_ > 0 && simMs_ >= nextWalkMs_)
        StartWalk();
    const double progress = walking_ ? double(simMs_ - walkStartMs_) / walkDurationMs_ : 0;

    const ChannelSettings* settings[3] = {&config.Mw, &config.Pir1, &config.Pir2};
    const bool enabled[3] = {(config.Flags & FlagEnMw) != 0, (config.Flags & FlagEnPir1) != 0,
                             (config.Flags & FlagEnPir2) != 0};
    const double sigma[3] = {5, 4, 4};
    for (int c = 0; c < 3; ++c) {
        Channel& ch = channels_[c];
        ch.base += Gauss(0.3) + (ch.nominal - ch.base) * 0.01;
        double target = ch.base + (walking_ ? ch.peak * Bump(progress, ch.zoneFrom, ch.zoneTo) : 0);
        // A scripted detection: the level stands well above the threshold.
        const std::uint16_t channelBit[3] = {DetMw, DetPir1, DetPir2};
        if (scripted && (scripted->Detect & channelBit[c]))
            target = std::max(target, 1.4 * std::max<double>(settings[c]->TRange, 20));
        ch.direct = std::max(0.0, target + Gauss(noise[c] ? sigma[c] * 0.4 : sigma[c]));
        ch.level += (ch.direct - ch.level) * (noise[c] ? 0.1 : 0.3);
        ch.refJitter = std::clamp(ch.refJitter + Gauss(0.2), -3.0, 3.0);

        // A little hysteresis keeps the lamp from flickering on the noise.
        const double threshold = settings[c]->TRange;
        if (!enabled[c])
            ch.detected = false;
        else if (ch.detected)
            ch.detected = ch.level >= threshold - 5;
        else
            ch.detected = ch.level > threshold;
        if (ch.detected) {
            ch.lastDetectMs = simMs_;
            ch.detectedInWalk |= walking_;
        }
        ch.walkMax = std::max(ch.walkMax, ch.level);
    }

    // Mask and noise sensors: quiet, nudged a little by a passer-by, up high when covered.
    const double near = walking_ ? Bump(progress, 0.2, 0.8) : 0;
    const bool covered = simMs_ < coverUntilMs_;
    acc1_ += (115 + 25 * near + (covered ? 600 : 0) - acc1_) * 0.2 + Gauss(2);
    acc2_ += (112 + 20 * near - acc2_) * 0.2 + Gauss(2);
    acc1Noise_ = 25 + 10 * near + std::abs(Gauss(5));
    acc2Noise_ = 35 + 15 * near + std::abs(Gauss(7));
    maskLevel_ += (80 - maskLevel_) * 0.1 + Gauss(1.5);
    if (walking_) {
        walkMaxAcc1_ = std::max(walkMaxAcc1_, acc1_);
        walkMaxAcc2_ = std::max(walkMaxAcc2_, acc2_);
        walkMaxNoise1_ = std::max(walkMaxNoise1_, acc1Noise_);
        walkMaxNoise2_ = std::max(walkMaxNoise2_, acc2Noise_);
    }
    const bool maskOn = config.Flags & FlagEnAcc;
    const bool mask1 = maskOn && acc1_ > MaskThreshold;
    const bool mask2 = maskOn && acc2_ > MaskThreshold;
    const bool knocked = simMs_ < knockUntilMs_;
    const bool tamper = knocked && (config.Flags & FlagEnTamper);

    std::uint16_t detect = 0;
    if (channels_[Mw].detected)
        detect |= DetMw;
    if (channels_[Pir1].detected)
        detect |= DetPir1;
    if (channels_[Pir2].detected)
        detect |= DetPir2;
    if (mask1)
        detect |= DetMask1;
    if (mask2)
        detect |= DetMask2;
    if (tamper)
        detect |= DetTamper;

    // Outputs: AND needs every taking-part technology to have detected within
    // the Time AND window, OR any one of them now; a tripped relay holds.
    const bool autoTestRunning = (config.Flags & FlagAutoTest) &&
                                 simMs_ % AutoTestEveryMs >= AutoTestEveryMs - AutoTestLastsMs;
    std::uint16_t device = 0;
    const std::uint8_t techBits[3] = {OutMw, OutPir1, OutPir2};
    for (int n = 0; n < 3; ++n) {
        const OutputSettings& out = config.Outputs[n];
        bool trip = false;
        if (out.Flags & OutEnable) {
            int taking = 0, recent = 0, now = 0;
            for (int c = 0; c < 3; ++c) {
                if (!(out.Flags & techBits[c]) || !enabled[c])
                    continue;
                ++taking;
                const Channel& ch = channels_[c];
                now += ch.detected;
                recent += ch.lastDetectMs >= 0 && simMs_ - ch.lastDetectMs <= out.TimeAndMs;
            }
            switch (out.Function) {
            case FuncAnd:
                trip = taking > 0 && recent == taking && now > 0;
                break;
            case FuncOr:
            case FuncAutoOr:
                trip = now > 0;
                break;
            case FuncMask:
                trip = mask1 || mask2;
                break;
            default: // auto test: trips on a failed self-test, and this detector passes
                break;
            }
        }
        if (trip)
            outputUntilMs_[n] = simMs_ + OutputHoldMs;
        if (simMs_ < outputUntilMs_[n]) {
            device |= static_cast<std::uint16_t>(DevOut1 << n);
            walkAlarm_ |= walking_;
        }
    }
    if (noise[Pir1])
        device |= DevNoisePir1;
    if (noise[Pir2])
        device |= DevNoisePir2;
    if (autoTestRunning)
        device |= DevAutoTestRunning;
    if (scripted) {
        // The script decides every event flag; the noise-reduction state stays
        // the detector's own.
        detect = scripted->Detect;
        device = static_cast<std::uint16_t>((device & (DevNoisePir1 | DevNoisePir2)) |
                                            (scripted->Device & ~(DevNoisePir1 | DevNoisePir2)));
    }

    // Reference levels sit on the thresholds; with temperature compensation
    // they lean with the temperature as the detector adapts.
    auto reference = [&](int c) {
        double ref = settings[c]->TRange + channels_[c].refJitter;
        if (tempComp)
            ref *= 1 + (temperature_ - 21) * 0.01;
        return Level(ref);
    };

    LiveStatus& s = status_;
    s.MwLevel = Level(channels_[Mw].level);
    s.MwRangeLevel = Level(channels_[Mw].level, 500);
    s.MwDirectLevel = Level(channels_[Mw].direct);
    s.Pir1Level = Level(channels_[Pir1].level);
    s.Pir1RangeLevel = Level(channels_[Pir1].level, 700);
    s.Pir1DirectLevel = Level(channels_[Pir1].direct);
    s.Pir2Level = Level(channels_[Pir2].level);
    s.Pir2RangeLevel = Level(channels_[Pir2].level, 700);
    s.Pir2DirectLevel = Level(channels_[Pir2].direct);
    s.MaskLevel = Level(maskLevel_);
    s.Acc1Level = Level(acc1_);
    s.Acc2Level = Level(acc2_);
    s.Acc1Noise = Level(acc1Noise_);
    s.Acc2Noise = Level(acc2Noise_);
    s.Temperature = static_cast<std::int16_t>(std::lrint(temperature_));
    s.MwRefLevel = reference(Mw);
    s.Pir1RefLevel = reference(Pir1);
    s.Pir2RefLevel = reference(Pir2);
    s.DetectFlags = detect;
    s.DeviceFlags = device;
    const double shake = knocked ? 60 : 1.2;
    s.AccX = Tilt(1 + Gauss(shake));
    s.AccY = Tilt(-2 + Gauss(shake));
    s.AccZ = Tilt(Gauss(shake));

    if (walking_ && simMs_ - walkStartMs_ >= walkDurationMs_)
        EndWalk();
}

} // namespace sim
