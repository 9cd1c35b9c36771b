// Playing a recorded session back: reading the trace, refusing a damaged one
// at its line, and answering each kind of request from the recording.

#include "Command.h"
#include "Options.h"
#include "Replay.h"
#include "Report.h"
#include "SimTestFrames.h"
#include "TraceFile.h"

#include <QDir>
#include <QTest>

#include <sstream>

using namespace sim;
using namespace sim_test;

namespace {

Bytes Report(std::uint8_t type, std::size_t payloadLength, std::uint8_t fill) {
    const Bytes payload(payloadLength, fill);
    return BuildReport(type, payload.data(), payload.size());
}

std::string Hex(const Bytes& bytes) {
    std::string text;
    char byte[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(byte, sizeof byte, i ? " %02X" : "%02X", bytes[i]);
        text += byte;
    }
    return text;
}

std::string Line(const char* time, const char* direction, const std::string& what,
                 const Bytes& bytes) {
    return std::string("2026-12-09 14:03:") + time + '\t' + direction + '\t' + what + '\t' +
           Hex(bytes) + '\n';
}

const Bytes Live1 = Report(8, 58, 0x11);
const Bytes Live2 = Report(8, 58, 0x22);
const Bytes Config = Report(9, 40, 0x33);
const Bytes Garbled = [] {
    Bytes b = Report(8, 58, 0x44);
    b[10] ^= 0xFF;
    return b;
}();
const Bytes Pwm = Report(7, 58, 0x55); // a type 7 in the place of a live status
const Bytes Partial(Live2.begin(), Live2.begin() + 12);

// A session over a line: connect, two live statuses, a write read back, a bad
// checksum, a time-out with a partial answer, a type 7, and a request whose
// receive was lost to the port failing (followed by a new session).
std::string RecordedSession() {
    const Bytes write(46, 0x00);
    Bytes body = write;
    body[0] = 0x02, body[2] = 0x29, body[3] = 0x01, body[45] = 0x03;
    return Line("07.000", "tx", "request 09", Request(0x09)) +
           Line("07.031", "rx", "report 9", Config) +
           Line("07.050", "tx", "request 08", Request(0x08)) +
           Line("07.089", "rx", "report 8", Live1) + Line("07.100", "tx", "write", body) +
           Line("07.120", "tx", "request 09", Request(0x09)) +
           Line("07.152", "rx", "report 9", Config) + "\r\n" +
           Line("07.170", "tx", "request 08", Request(0x08)) +
           Line("07.209", "rx", "malformed", Garbled) +
           Line("07.220", "tx", "request 08", Request(0x08)) +
           Line("07.270", "rx", "no answer (12 bytes)", Partial) +
           Line("07.280", "tx", "request 08", Request(0x08)) +
           Line("07.319", "rx", "report 7", Pwm) +
           Line("07.330", "tx", "request 08", Request(0x08)) +
           Line("09.000", "tx", "request 08", Request(0x08)) +
           Line("09.038", "rx", "report 8", Live2);
}

std::optional<Recording> Parse(const std::string& text, TraceProblem& problem) {
    std::istringstream in(text);
    return ParseTrace(in, problem);
}

Bytes Send(Replayer& replayer, const Bytes& frame, std::vector<std::string>* log = nullptr,
           std::int64_t* delayNs = nullptr) {
    const Reaction r = replayer.Receive(frame.data(), frame.size(), 0);
    if (log)
        log->insert(log->end(), r.log.begin(), r.log.end());
    if (r.answers.empty())
        return {};
    if (delayNs)
        *delayNs = r.answers.front().delayNs;
    return r.answers.front().bytes;
}

} // namespace

class TestTraceReplay : public QObject {
    Q_OBJECT
private slots:
    void damagedTraceIsRefusedAtItsLine_data() {
        QTest::addColumn<int>("line"); // the line to damage (1-based)
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("problemLine");
        QTest::addColumn<QString>("why");
        // Line 3 is "tx request 08", line 4 its "rx report 8", line 12 a
        // "no answer (12 bytes)".
        const QString live = QString::fromStdString(Hex(Live1));
        const QString request =
            QString::fromStdString(Line("07.050", "tx", "request 08", Request(0x08))).chopped(1);
        QTest::newRow("cut short") << 4 << live << live.left(98) << 4 << "does not match";
        QTest::newRow("half a byte")
            << 4 << live << live.left(98) + " 1" << 4 << "unreadable bytes";
        QTest::newRow("spaces, not tabs") << 4 << "\trx\t"
                                          << "  rx  " << 4 << "4 tab-separated";
        QTest::newRow("time") << 4 << "14:03:07.089"
                              << "14:63:07.089" << 4 << "unreadable time";
        QTest::newRow("direction") << 4 << "\trx\t"
                                   << "\tRX\t" << 4 << "neither tx nor rx";
        QTest::newRow("type against bytes") << 4 << "report 8"
                                            << "report 9" << 4 << "does not match";
        QTest::newRow("unknown kind") << 4 << "report 8"
                                      << "reply 8" << 4 << "unknown frame";
        QTest::newRow("answer alone") << 3 << request << "" << 4 << "no request before it";
        QTest::newRow("write bytes") << 3 << "\trequest 08"
                                     << "\tstore write" << 3 << "not a write";
        QTest::newRow("request bytes") << 1 << "09 F7"
                                       << "09 F8" << 1 << "not that request";
        QTest::newRow("no answer count") << 12 << "(12 bytes)"
                                         << "(13 bytes)" << 12 << "does not match";
        // What a line says it is must be what the tool makes of its bytes.
        QTest::newRow("damaged report") << 10 << "malformed"
                                        << "report 8" << 10 << "does not match";
        QTest::newRow("sound malformed") << 4 << "report 8"
                                         << "malformed" << 4 << "not malformed";
        QTest::newRow("wait beyond any clock")
            << 4 << "2026-12-09 14:03:07.089"
            << "9999-12-31 14:03:07.089" << 4 << "cannot be replayed";
    }
    void damagedTraceIsRefusedAtItsLine() {
        QFETCH(int, line);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(int, problemLine);
        QFETCH(QString, why);
        std::string text = RecordedSession();
        std::size_t at = 0;
        for (int i = 1; i < line; ++i)
            at = text.find('\n', at) + 1;
        const std::size_t found = text.find(from.toStdString(), at);
        QVERIFY(found < text.find('\n', at));
        text.replace(found, from.size(), to.toStdString());

        TraceProblem problem;
        QVERIFY(!Parse(text, problem));
        QCOMPARE(problem.line, problemLine);
        QVERIFY2(QString::fromStdString(problem.why).contains(why), problem.why.c_str());
    }

    void traceWithoutReportIsRefused() {
        TraceProblem problem;
        const std::string timeOuts = Line("07.000", "tx", "request 09", Request(0x09)) +
                                     Line("07.090", "rx", "no answer (0 bytes)", {});
        QVERIFY(!Parse(timeOuts, problem));
        QCOMPARE(problem.line, 0);
        QVERIFY(problem.why.find("no report") != std::string::npos);

        // A device that never ends a line is not read whole.
        QVERIFY(!Parse(std::string(100'000, 'x'), problem));
        QCOMPARE(problem.line, 1);

        const QString missing = QDir::tempPath() + "/no-such-trace.txt";
        std::string error;
        QVERIFY(!LoadTrace(missing.toStdString(), error));
        QVERIFY2(error.starts_with(missing.toStdString() + ": "), error.c_str());
    }

    void eachKindIsAnsweredInRecordedOrder() {
        TraceProblem problem;
        std::optional<Recording> recording = Parse(RecordedSession(), problem);
        QVERIFY2(recording, problem.why.c_str());
        QCOMPARE(recording->reports, 5);
        QCOMPARE(recording->writes, 1);
        Replayer replayer(*recording, "trace.txt", false, false);

        std::vector<std::string> log;
        std::int64_t delayNs = -1;
        QCOMPARE(Send(replayer, Request(0x08), &log, &delayNs), Live1);
        // There from the time its first byte came on site: the recorded end
        // of the receive less the answer's line time.
        QCOMPARE(delayNs, 39'000'000 - 64 * ByteTimeNs);
        // A write changes nothing that is replayed, and is said to.
        Command::ConfigWriteFrame frame{};
        Command::WrapConfigWrite(frame, Bytes(40, 0).data());
        QVERIFY(Send(replayer, Bytes(frame.begin(), frame.end()), &log).empty());
        QCOMPARE(log.size(), std::size_t{1});
        QVERIFY(log[0].starts_with("configuration written, not replayed"));
        QCOMPARE(Send(replayer, Request(0x09)), Config);
        QCOMPARE(Send(replayer, Request(0x08)), Garbled);
        // What came before a time-out goes out at once, within the tool's wait.
        QCOMPARE(Send(replayer, Request(0x08), nullptr, &delayNs), Partial);
        QCOMPARE(delayNs, 0);
        QCOMPARE(Send(replayer, Request(0x08)), Pwm);
        // The request that lost its receive is not replayed.
        QCOMPARE(Send(replayer, Request(0x08)), Live2);
        QCOMPARE(Send(replayer, Request(0x09)), Config);

        // Used up: no answer, said once.
        log.clear();
        QVERIFY(Send(replayer, Request(0x08), &log).empty());
        QVERIFY(Send(replayer, Request(0x08), &log).empty());
        QVERIFY(Send(replayer, Request(0x0C), &log).empty());
        QCOMPARE(log.size(), std::size_t{2});
        QVERIFY2(replayer.Progress().find("request 08 5 of 5") != std::string::npos,
                 replayer.Progress().c_str());

        // Looping starts a kind over; a kind never recorded stays silent.
        Replayer looping(*recording, "trace.txt", true, true);
        for (int i = 0; i < 5; ++i)
            Send(looping, Request(0x08));
        QCOMPARE(Send(looping, Request(0x08), nullptr, &delayNs), Live1);
        // At line speed the last byte is due when the recording read it.
        QCOMPARE(delayNs, 39'000'000 - 64 * ByteTimeNs);
        QVERIFY(Send(looping, Request(0x0C)).empty());
    }

    // A clock set forward (summer time starting) or back between a request
    // and its receive holds nothing up: that answer comes after the usual
    // wait of its kind.
    void clockStepsAreUsualWaits() {
        const std::string text = Line("07.000", "tx", "request 08", Request(0x08)) +
                                 Line("07.039", "rx", "report 8", Live1) +
                                 Line("07.050", "tx", "request 08", Request(0x08)) +
                                 "2026-12-09 15:03:07.089\trx\treport 8\t" + Hex(Live2) + '\n' +
                                 "2026-12-09 15:03:07.100\ttx\trequest 08\t" + Hex(Request(0x08)) +
                                 '\n' + Line("07.150", "rx", "report 8", Live1);
        TraceProblem problem;
        std::optional<Recording> recording = Parse(text, problem);
        QVERIFY2(recording, problem.why.c_str());
        Replayer replayer(*recording, "trace.txt", false, false);
        for (const Bytes& expected : {Live1, Live2, Live1}) {
            std::int64_t delayNs = -1;
            QCOMPARE(Send(replayer, Request(0x08), nullptr, &delayNs), expected);
            QCOMPARE(delayNs, 39'000'000 - 64 * ByteTimeNs);
        }
    }

    void replayTakesNoSceneOptions() {
        QVERIFY(ParseOptions({"--replay", "t.txt", "--loop", "--real-timing"}).error.empty());
        QVERIFY(!ParseOptions({"--loop"}).error.empty());
        QVERIFY(!ParseOptions({"--replay", "t.txt", "--fault", "silent"}).error.empty());
        QVERIFY(!ParseOptions({"--replay"}).error.empty());
    }
};

QTEST_GUILESS_MAIN(TestTraceReplay)
#include "test_trace_replay.moc"
