// The simulated detector's protocol side without a port: frames in, reports
// out, configuration byte orders, fault shapes, pacing and the moving scene.

#include "Command.h"
#include "ControlCommand.h"
#include "Detector.h"
#include "FrameParser.h"
#include "LiveScene.h"
#include "Options.h"
#include "OutputPacer.h"
#include "Report.h"
#include "SimTestFrames.h"
#include "StateFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <vector>

using namespace sim;
using namespace sim_test;

namespace {

// A write body as the tool builds it: PWM words high byte first, flags low byte first.
std::array<std::uint8_t, 40> ToolBody(std::uint16_t flags) {
    return {0x01,
            0x2C,
            7,
            3,
            2, // MW TRange 300
            0x01,
            0x90,
            20,
            5,
            3, // PIR1 TRange 400
            0x00,
            0xFA,
            30,
            6,
            4, // PIR2 TRange 250
            0x01,
            0x40,
            0x0F,
            0xA0, // PWM duty 320, period 4000
            static_cast<std::uint8_t>(flags & 0xFF),
            static_cast<std::uint8_t>(flags >> 8),
            0,
            0,
            0,
            0, // reserved
            0x13,
            0x88,
            0,
            0x77,
            0x0F, // Out #1: 5000 ms AND, aux 0x77
            0x07,
            0xD0,
            1,
            0,
            0x0D, // Out #2: 2000 ms OR
            0x03,
            0xE8,
            4,
            0,
            0x11}; // Out #3: 1000 ms AUTO TEST
}

Bytes WriteFrame(const std::array<std::uint8_t, 40>& body) {
    Command::ConfigWriteFrame f{};
    Command::WrapConfigWrite(f, body.data());
    return Bytes(f.begin(), f.end());
}

Reaction Feed(Detector& d, const Bytes& bytes, std::int64_t nowMs = 0) {
    return d.Receive(bytes.data(), bytes.size(), nowMs);
}

Command::FrameClass Classify(const Bytes& frame, int expected) {
    Command::ReceiveFrame buffer{};
    const int n = static_cast<int>(std::min<std::size_t>(frame.size(), expected));
    std::copy_n(frame.begin(), n, buffer.begin());
    return Command::ClassifyFrame(buffer, n, expected, 0);
}

// Runs the scene for `ms`, OR-ing every detection and device flag seen.
struct Seen {
    std::uint16_t detect = 0, device = 0;
};
Seen Run(LiveScene& scene, const SimConfig& config, std::int64_t& clock, int ms) {
    Seen seen;
    for (int t = 0; t < ms; t += LiveScene::StepMs) {
        clock += LiveScene::StepMs;
        scene.AdvanceTo(clock, config);
        seen.detect |= scene.Status().DetectFlags;
        seen.device |= scene.Status().DeviceFlags;
    }
    return seen;
}

} // namespace

class TestSimProtocol : public QObject {
    Q_OBJECT
private slots:
    void parserFindsFramesAmidNoiseAndSplits() {
        Bytes stream{0xFF, 0x02, 0x13}; // noise with a stray STX
        for (std::uint8_t code : {0x08, 0x09, 0x0C}) {
            const Bytes r = Request(code);
            stream.insert(stream.end(), r.begin(), r.end());
        }
        const Bytes w = WriteFrame(ToolBody(0x0001));
        stream.insert(stream.end(), w.begin(), w.end());

        FrameParser parser;
        std::vector<IncomingFrame> frames;
        for (std::size_t at = 0; at < stream.size(); at += 5) { // arrives in small pieces
            const std::size_t n = std::min<std::size_t>(5, stream.size() - at);
            for (auto& f : parser.Feed(&stream[at], n, 0))
                frames.push_back(f);
        }
        std::vector<IncomingFrame> good;
        std::copy_if(frames.begin(), frames.end(), std::back_inserter(good),
                     [](const auto& f) { return f.kind != IncomingFrame::Kind::Malformed; });
        QCOMPARE(good.size(), std::size_t{4});
        QCOMPARE(good[0].code, std::uint8_t{0x08});
        QCOMPARE(good[1].code, std::uint8_t{0x09});
        QCOMPARE(good[2].code, std::uint8_t{0x0C});
        QVERIFY(good[2].kind == IncomingFrame::Kind::Request);
        QVERIFY(good[3].kind == IncomingFrame::Kind::ConfigWrite);
        QVERIFY(good[3].body == ToolBody(0x0001));
        QCOMPARE(parser.Pending(), std::size_t{0});
    }

    void parserRejectsDamagedFramesButKeepsWhatFollows() {
        FrameParser parser;
        Bytes badSum = Request(0x08);
        badSum[4] ^= 0x01;
        Bytes badByte1 = Request(0x08);
        badByte1[1] = 0x01;
        Bytes noEtx = Request(0x08);
        noEtx[5] = 0x04;
        for (const Bytes& bad : {badSum, badByte1, noEtx}) {
            Bytes stream = bad;
            const Bytes good = Request(0x09);
            stream.insert(stream.end(), good.begin(), good.end());
            const auto frames = parser.Feed(stream.data(), stream.size(), 0);
            QVERIFY(!frames.empty());
            QVERIFY(frames.front().kind == IncomingFrame::Kind::Malformed);
            QVERIFY(frames.back().kind == IncomingFrame::Kind::Request);
            QCOMPARE(frames.back().code, std::uint8_t{0x09});
        }
        // A checksum that covers only the body (the report rule) is wrong for a write.
        Bytes w = WriteFrame(ToolBody(0));
        w[44] = Command::FrameChecksum(&w[4], 40);
        QVERIFY(parser.Feed(w.data(), w.size(), 0).front().kind == IncomingFrame::Kind::Malformed);
        // Unknown code: well formed, but not a request.
        const Bytes odd{0x02, 0x00, 0x01, 0x05, 0xFB, 0x03};
        QVERIFY(parser.Feed(odd.data(), odd.size(), 0).front().kind ==
                IncomingFrame::Kind::Unknown);
    }

    void parserDropsAStaleHalfFrame() {
        FrameParser parser;
        const Bytes write = WriteFrame(ToolBody(0));
        QVERIFY(parser.Feed(write.data(), 10, 1000).empty()); // the tool went away mid-frame
        const Bytes r = Request(0x08);
        const auto frames = parser.Feed(r.data(), r.size(), 1000 + FrameParser::StaleAfterMs + 1);
        QCOMPARE(frames.size(), std::size_t{1});
        QVERIFY(frames[0].kind == IncomingFrame::Kind::Request);

        // A false start announcing a long frame must not swallow a tool that
        // keeps polling every 10 ms for longer than the receive time-out.
        const Bytes falseStart{0x02, 0x00, 0xC8};
        parser.Feed(falseStart.data(), falseStart.size(), 2000);
        int firstSeen = -1, seen = 0;
        for (int t = 10; t <= 300; t += 10)
            for (const auto& f : parser.Feed(r.data(), r.size(), 2000 + t))
                if (f.kind == IncomingFrame::Kind::Request) {
                    ++seen;
                    if (firstSeen < 0)
                        firstSeen = t;
                }
        QVERIFY(firstSeen > 0 && firstSeen <= FrameParser::StaleAfterMs + 10);
        QCOMPARE(seen, (300 - firstSeen) / 10 + 1);
    }

    void writeIsReportedBackWithPwmLowByteFirst() {
        Detector d(SimConfig::Defaults(), 1, 0);
        const auto body = ToolBody(0x8803);
        const Reaction written = Feed(d, WriteFrame(body));
        QVERIFY(written.answers.empty()); // a write gets no answer
        QVERIFY(!written.store);
        QCOMPARE(written.log.size(), std::size_t{1});
        QVERIFY(written.log[0].starts_with("configuration written"));

        const Reaction read = Feed(d, Request(0x09));
        QCOMPARE(read.answers.size(), std::size_t{1});
        const Bytes& report = read.answers[0].bytes;
        QCOMPARE(report.size(), std::size_t{46});
        QVERIFY(Classify(report, 46) == Command::FrameClass::Accepted);
        QCOMPARE(report[3], std::uint8_t{9});
        Bytes expected(body.begin(), body.end());
        std::swap(expected[15], expected[16]);
        std::swap(expected[17], expected[18]);
        QCOMPARE(Bytes(report.begin() + 4, report.begin() + 44), expected);
        QCOMPARE(d.Config().PwmDc, std::uint16_t{320});
        QCOMPARE(d.Config().Flags, std::uint16_t{0x8803});
        QCOMPARE(d.Config().Outputs[0].Aux, std::uint8_t{0x77});
    }

    void storeBitAsksForFlashAndIsNotKept() {
        Detector d(SimConfig::Defaults(), 1, 0);
        const Reaction r = Feed(d, WriteFrame(ToolBody(0x4000 | 0x0007)));
        QVERIFY(r.store.has_value());
        QCOMPARE((*r.store)[22], std::uint8_t{0x07});
        QCOMPARE((*r.store)[23], std::uint8_t{0x00});
        QCOMPARE((*r.store)[18], std::uint8_t{0x40}); // record keeps PWM low byte first
        QCOMPARE((*r.store)[19], std::uint8_t{0x01});
        QCOMPARE(d.Config().Flags, std::uint16_t{0x0007});
        QVERIFY(SimConfig::FromRecord(*r.store) == d.Config());

        Bytes damaged = WriteFrame(ToolBody(0x4000));
        damaged[30] ^= 0x10;
        const Reaction bad = Feed(d, damaged);
        QVERIFY(!bad.store);
        QCOMPARE(d.Config().Flags, std::uint16_t{0x0007}); // unchanged
        QVERIFY(bad.log.at(0).find("bad checksum") != std::string::npos);
    }

    void factoryConfigurationFitsTheToolsControls() {
        const SimConfig c = SimConfig::Defaults();
        QVERIFY(c.Mw.TRange >= 10 && c.Mw.TRange <= 500);
        for (const ChannelSettings* ch : {&c.Mw, &c.Pir1, &c.Pir2}) {
            QVERIFY(ch->TRange >= 10 && ch->TRange <= 700);
            QVERIFY(ch->Tconv >= 1 && ch->Tconv <= 50);
            QVERIFY(ch->Nconv >= 1 && ch->Nconv <= 10);
            QVERIFY(ch->NPulse >= 1 && ch->NPulse <= 5);
        }
        QVERIFY(c.PwmDc >= 1 && c.PwmDc <= 640);
        QVERIFY(c.PwmFq >= 1600 && c.PwmFq <= 16000);
        QCOMPARE(c.Flags & (FlagEnMw | FlagEnPir1 | FlagEnPir2),
                 FlagEnMw | FlagEnPir1 | FlagEnPir2);
        const int maxSeconds[3] = {10, 5, 5};
        for (int n = 0; n < 3; ++n) {
            QCOMPARE(c.Outputs[n].TimeAndMs % 1000, 0);
            QVERIFY(c.Outputs[n].TimeAndMs >= 1000 &&
                    c.Outputs[n].TimeAndMs / 1000 <= maxSeconds[n]);
            QVERIFY(c.Outputs[n].Function <= FuncAutoTest);
        }
        const SimConfig::Record r = c.ToRecord();
        QCOMPARE(r[5] | r[11] | r[17] | r[43], 0); // pads
        QVERIFY(SimConfig::FromRecord(r) == c);
    }

    void reportsHaveTheirLengthsAndPass() {
        Detector d(SimConfig::Defaults(), 2, 0);
        const std::pair<std::uint8_t, int> kinds[] = {{0x08, 64}, {0x09, 46}, {0x0C, 226}};
        for (const auto& [code, length] : kinds) {
            const Reaction r = Feed(d, Request(code));
            QCOMPARE(r.answers.size(), std::size_t{1});
            QCOMPARE(int(r.answers[0].bytes.size()), length);
            QVERIFY(Classify(r.answers[0].bytes, length) == Command::FrameClass::Accepted);
            QCOMPARE(r.answers[0].bytes[3], code);
            QCOMPARE(r.answers[0].delayNs, 0); // no real timing asked
            QCOMPARE(r.answers[0].gapNs, 0);
        }
    }

    void faultModesBendTheAnswer_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("frameClass");
        QTest::addColumn<int>("type");
        const int malformed = int(Command::FrameClass::Malformed);
        const int accepted = int(Command::FrameClass::Accepted);
        const int none = int(Command::FrameClass::NoAnswer);
        QTest::newRow("bad-checksum") << "bad-checksum" << 64 << malformed << 8;
        QTest::newRow("checksum-with-type") << "checksum-with-type" << 64 << malformed << 8;
        QTest::newRow("short") << "short" << 32 << none << 8;
        QTest::newRow("surplus") << "surplus" << 67 << accepted << 8;
        QTest::newRow("type7") << "type7" << 64 << accepted << 7;
        QTest::newRow("type11") << "type11" << 64 << accepted << 11;
        QTest::newRow("type9") << "type9" << 64 << malformed << 9;
    }
    void faultModesBendTheAnswer() {
        QFETCH(QString, mode);
        QFETCH(int, size);
        QFETCH(int, frameClass);
        QFETCH(int, type);
        Detector d(SimConfig::Defaults(), 3, 0);
        d.SetFault({*ParseFaultMode(mode.toStdString())});
        const Reaction r = Feed(d, Request(0x08));
        QCOMPARE(r.answers.size(), std::size_t{1});
        const Bytes& a = r.answers[0].bytes;
        QCOMPARE(int(a.size()), size);
        QCOMPARE(int(Classify(a, 64)), frameClass);
        QCOMPARE(int(a[3]), type);
        if (mode == "checksum-with-type") // over the type byte and the payload
            QCOMPARE(Command::FrameChecksum(&a[3], 59), a[62]);
        if (mode == "surplus")
            QCOMPARE(Bytes(a.begin() + 64, a.end()),
                     Bytes(std::begin(SurplusBytes), std::end(SurplusBytes)));
        if (mode == "type7") { // PWM 160 / 1600, low byte first
            QCOMPARE(Bytes(a.begin() + 4, a.begin() + 8), (Bytes{0xA0, 0x00, 0x40, 0x06}));
        }
    }

    void everyNthSilentAndHangupCountRequests() {
        Detector d(SimConfig::Defaults(), 4, 0);
        d.SetFault({FaultMode::EveryNth, 3});
        QString pattern;
        for (int i = 0; i < 6; ++i)
            pattern += Feed(d, Request(0x08)).answers.empty() ? '-' : 'A';
        QCOMPARE(pattern, QString("--A--A"));

        d.SetFault({FaultMode::Silent});
        QVERIFY(Feed(d, Request(0x09)).answers.empty());
        const SimConfig before = d.Config();
        QVERIFY(!Feed(d, WriteFrame(ToolBody(0x4001))).store); // a dead line receives nothing
        QVERIFY(d.Config() == before);

        FaultSettings hang{FaultMode::Hangup};
        hang.HangupAfter = 2;
        d.SetFault(hang);
        for (int round = 0; round < 2; ++round) {
            QCOMPARE(Feed(d, Request(0x08)).answers.size(), std::size_t{1});
            QCOMPARE(Feed(d, Request(0x08)).answers.size(), std::size_t{1});
            const Reaction third = Feed(d, Request(0x08));
            QVERIFY(third.hangUp);
            QVERIFY(third.answers.empty());
            d.LinkReset(); // the port came back
        }
    }

    void pacingFollowsTheLine() {
        Detector d(SimConfig::Defaults(), 5, 0);
        d.SetTiming({true, -1});
        Answer a = Feed(d, Request(0x0C)).answers.at(0);
        QCOMPARE(a.delayNs, 2'000'000 + 6 * ByteTimeNs); // the request's own line time too
        QCOMPARE(a.gapNs, ByteTimeNs);
        QVERIFY(ByteTimeNs > 520'000 && ByteTimeNs < 521'000);

        OutputPacer pacer;
        pacer.Enqueue(a.bytes, 0, a.delayNs, a.gapNs);
        QVERIFY(pacer.Due(a.delayNs).empty());
        QCOMPARE(pacer.Due(a.delayNs + 10 * a.gapNs).size(), std::size_t{10});
        const std::int64_t end = a.delayNs + 226 * a.gapNs; // about 120 ms
        QCOMPARE(pacer.Due(end - 1).size(), std::size_t{225});
        QCOMPARE(pacer.Due(end).size(), std::size_t{226});
        pacer.Consume(100);
        pacer.Enqueue({1, 2}, 0, a.delayNs, a.gapNs); // waits for the first answer
        QCOMPARE(*pacer.NextDueNs(), a.delayNs + 101 * a.gapNs);
        QCOMPARE(pacer.Due(end + a.gapNs).size(), std::size_t{127});

        d.SetTiming({false, 7});
        FaultSettings trickle{FaultMode::Trickle};
        trickle.TrickleMs = 4;
        d.SetFault(trickle);
        a = Feed(d, Request(0x08)).answers.at(0);
        QCOMPARE(a.delayNs, 7'000'000);
        QCOMPARE(a.gapNs, 4'000'000);
    }

    void liveStatusLayout() {
        LiveStatus s;
        s.MwLevel = 0x0102;
        s.Pir2DirectLevel = 0x0A0B;
        s.Temperature = -10;
        s.MwRefLevel = 0x1234;
        s.DetectFlags = DetMw | DetTamper;
        s.DeviceFlags = DevOut1 | DevAutoTestRunning;
        s.AccX = -128;
        s.AccZ = 5;
        const auto p = EncodeLiveStatus(s);
        QCOMPARE(p[0], std::uint8_t{0x01});
        QCOMPARE(p[1], std::uint8_t{0x02});
        QCOMPARE(p[16], std::uint8_t{0x0A});
        QCOMPARE(p[38], std::uint8_t{0xFF});
        QCOMPARE(p[39], std::uint8_t{0xF6});
        QCOMPARE(p[46], std::uint8_t{0x12});
        QCOMPARE(p[48], std::uint8_t{0x01}); // flags low byte first
        QCOMPARE(p[49], std::uint8_t{0x08});
        QCOMPARE(p[50], std::uint8_t{0x01});
        QCOMPARE(p[51], std::uint8_t{0x40});
        QCOMPARE(p[52], std::uint8_t{0x80});
        QCOMPARE(p[56], std::uint8_t{0x05});
    }

    void walkThroughLightsFlagsTripsOutputsAndIsLogged() {
        const SimConfig config =
            SimConfig::Defaults(); // Out #1 AND of all three, Out #2 OR of the PIRs
        LiveScene scene(11, 0);
        std::int64_t clock = 0;
        scene.AdvanceTo(clock, config);
        const EventRecord oldFirst = scene.Events().At(0);

        const Seen quiet = Run(scene, config, clock, 2000);
        QCOMPARE(quiet.detect, 0);
        QCOMPARE(quiet.device & 0x07, 0);
        const std::uint16_t quietMw = scene.Status().MwLevel;
        QVERIFY(quietMw > 10 && quietMw < config.Mw.TRange);
        QVERIFY(std::abs(scene.Status().MwRefLevel - config.Mw.TRange) <= 5);

        scene.StartWalk(1.6);
        const Seen walk = Run(scene, config, clock, 6000);
        QCOMPARE(walk.detect & (DetMw | DetPir1 | DetPir2), DetMw | DetPir1 | DetPir2);
        QCOMPARE(walk.device & 0x03, 0x03); // Out #1 and Out #2 tripped, Out #3 (auto test) not
        QCOMPARE(walk.device & 0x04, 0);
        QCOMPARE(scene.WalksDone(), 1);

        Run(scene, config, clock, LiveScene::OutputHoldMs + 500);
        QCOMPARE(scene.Status().DetectFlags, 0);
        QCOMPARE(scene.Status().DeviceFlags & 0x07, 0);

        const EventRecord& r = scene.Events().At(0);
        QCOMPARE(r.Flags, std::uint16_t(EvMw | EvUpPir | EvDownPir | EvGenAlarm));
        QVERIFY(r.MaxMw > config.Mw.TRange && r.MaxMw < 700);
        QVERIFY(r.MaxPirAbove > config.Pir1.TRange);
        QVERIFY(r.Ntc >= 18 && r.Ntc <= 24);
        QCOMPARE(scene.Events().At(1).Flags, oldFirst.Flags);
    }

    void weakWalkAndDisabledChannelsStayQuiet() {
        SimConfig config = SimConfig::Defaults();
        config.Flags &= ~FlagEnMw;
        config.Outputs[1] = {1000, FuncOr, 0, OutEnable | OutMw}; // only the disabled MW
        LiveScene scene(12, 0);
        std::int64_t clock = 0;
        scene.StartWalk(1.8);
        const Seen strong = Run(scene, config, clock, 6000);
        QCOMPARE(strong.detect & DetMw, 0);
        QVERIFY(strong.detect & DetPir1);
        QCOMPARE(strong.device & 0x02, 0);
        QVERIFY(strong.device & 0x01); // AND of the two enabled PIRs

        scene.StartWalk(0.5);
        const Seen weak = Run(scene, config, clock, 6000);
        QCOMPARE(weak.detect, 0);
        QCOMPARE(scene.Events().At(0).Flags, EvNone);
        QCOMPARE(scene.WalksDone(), 2);
    }

    void noiseReductionTemperatureAndTamper() {
        SimConfig config = SimConfig::Defaults();
        config.Flags |= FlagNoisePir1;
        LiveScene scene(13, 0);
        std::int64_t clock = 0;
        Run(scene, config, clock, 100);
        QCOMPARE(scene.Status().DeviceFlags & (DevNoisePir1 | DevNoisePir2), DevNoisePir1);

        // With temperature compensation the detector picks the reduction by temperature.
        config.Flags |= FlagTempComp;
        int minT = 100, maxT = -100;
        bool autoOk = true;
        for (int minute = 0; minute < 20; ++minute) {
            Run(scene, config, clock, 60'000);
            const LiveStatus& s = scene.Status();
            minT = std::min<int>(minT, s.Temperature);
            maxT = std::max<int>(maxT, s.Temperature);
            const bool on = s.Temperature >= 22;
            autoOk &= bool(s.DeviceFlags & DevNoisePir1) == on &&
                      bool(s.DeviceFlags & DevNoisePir2) == on;
            QVERIFY(std::abs(s.AccX) < 10 && std::abs(s.AccY) < 10 && std::abs(s.AccZ) < 10);
        }
        QVERIFY(autoOk);
        QVERIFY(minT >= 18 && maxT <= 24);
        QVERIFY(maxT - minT >= 2); // it does drift

        scene.Knock();
        const Seen knocked = Run(scene, config, clock, 500);
        QVERIFY(knocked.detect & DetTamper);
    }

    void eventLogPayloadLayout() {
        EventLog log = EventLog::Plausible();
        const EventRecord ninth = log.At(8);
        log.Push({0x0047, 0xFFFF, 2, 3, 4, 5, 6, 7, -5, 9});
        QCOMPARE(log.At(9).Flags, ninth.Flags); // the old tenth fell off
        QCOMPARE(log.At(9).MaxMask1, ninth.MaxMask1);
        const auto p = log.Payload();
        QCOMPARE(p[0], std::uint8_t{0x47});
        QCOMPARE(p[1], std::uint8_t{0x00});
        QCOMPARE(p[2], std::uint8_t{0xFF});
        QCOMPARE(p[16], std::uint8_t{0xFF}); // Ntc -5 high byte first
        QCOMPARE(p[17], std::uint8_t{0xFB});
        QCOMPARE(p[19], std::uint8_t{9});
        QCOMPARE(p[20] | p[21], 0);
        QCOMPARE(p[22], std::uint8_t(EventLog::Plausible().At(0).Flags & 0xFF));
    }

    void commandLine() {
        auto parse = [](std::initializer_list<const char*> a) {
            return ParseOptions(std::vector<std::string>(a.begin(), a.end()));
        };
        const OptionsResult ok =
            parse({"--link=/tmp/x", "--state", "/s/c.bin", "--fault", "every-nth", "--every", "3",
                   "--real-timing", "--reaction-ms", "5", "--seed", "7"});
        QVERIFY2(ok.error.empty(), ok.error.c_str());
        QCOMPARE(ok.options.linkPath, std::string("/tmp/x"));
        QCOMPARE(ok.options.statePath, std::string("/s/c.bin"));
        QVERIFY(ok.options.fault.Mode == FaultMode::EveryNth);
        QCOMPARE(ok.options.fault.Every, 3);
        QVERIFY(ok.options.timing.realTiming);
        QCOMPARE(ok.options.timing.reactionMs, 5);
        QCOMPARE(*ok.options.seed, 7u);

        for (const auto& bad :
             {parse({"--fault", "loud"}), parse({"--every", "0"}), parse({"--every", "3x"}),
              parse({"--link"}), parse({"--hangup-ms", "-1"}), parse({"--bogus"}),
              parse({"--real-timing=yes"})})
            QVERIFY(!bad.error.empty());

        QCOMPARE(DefaultStatePath("/xdg", "/home/u"), std::string("/xdg/detector-sim/config.bin"));
        QCOMPARE(DefaultStatePath(nullptr, "/home/u"),
                 std::string("/home/u/.local/state/detector-sim/config.bin"));
        QCOMPARE(DefaultStatePath("relative", "/home/u"),
                 std::string("/home/u/.local/state/detector-sim/config.bin"));
    }

    void controlChannel() {
        Detector d(SimConfig::Defaults(), 6, 0);
        QCOMPARE(ApplyControl("fault silent", d).reply, std::string("ok fault silent"));
        QVERIFY(d.Fault().Mode == FaultMode::Silent);
        QCOMPARE(ApplyControl("  every 4 ", d).reply, std::string("ok fault silent"));
        QCOMPARE(d.Fault().Every, 4);
        QCOMPARE(ApplyControl("fault every-nth", d).reply,
                 std::string("ok fault every-nth every 4"));
        QVERIFY(ApplyControl("hangup", d).hangUpNow);
        QVERIFY(ApplyControl("quit", d).quit);
        QVERIFY(ApplyControl("", d).reply.empty());
        for (const char* bad : {"fault", "fault loud", "every x", "walk now", "dance"}) {
            const ControlOutcome o = ApplyControl(bad, d);
            QVERIFY2(o.reply.starts_with("error: "), bad);
            QVERIFY(!o.quit && !o.hangUpNow);
        }
        QVERIFY(d.Fault().Mode == FaultMode::EveryNth); // errors change nothing
    }

    void stateFileRoundTripAndBadFiles() {
        QTemporaryDir dir;
        const std::string path = (dir.path() + "/deep/er/config.bin").toStdString();
        std::string problem;
        QVERIFY(!LoadState(path, problem));
        QVERIFY(problem.empty());

        SimConfig c = SimConfig::Defaults();
        c.PwmFq = 4000;
        std::string error;
        QVERIFY2(SaveState(path, c.ToRecord(), error), error.c_str());
        QCOMPARE(QFile(QString::fromStdString(path)).size(), 44);
        const auto loaded = LoadState(path, problem);
        QVERIFY(loaded && *loaded == c);

        QFile junk(QString::fromStdString(path));
        QVERIFY(junk.open(QIODevice::WriteOnly | QIODevice::Truncate));
        junk.write("not a configuration");
        junk.close();
        QVERIFY(!LoadState(path, problem));
        QVERIFY(problem.find("44-byte") != std::string::npos);
        QCOMPARE(junk.size(), 19); // left alone
    }
};

QTEST_GUILESS_MAIN(TestSimProtocol)
#include "test_sim_protocol.moc"
