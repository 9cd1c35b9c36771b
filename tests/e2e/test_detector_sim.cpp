// The detector-sim program end to end: started as a process, reached through
// its port name with plain POSIX calls, steered through its standard input.

#include "Command.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

QByteArray RequestFrame(std::uint8_t code) {
    Command::LinkBuffers b;
    b.SelectRequest(code);
    return QByteArray(reinterpret_cast<const char*>(b.PollRequest.data()), Command::RequestLength);
}

// A write body as the tool sends it: PWM duty 0x0140 and period 0x0FA0 high
// byte first, the flag word low byte first.
QByteArray WriteBody(std::uint16_t flags, std::uint8_t mwRangeLow = 0x2C) {
    const std::uint8_t body[40] = {0x01,
                                   mwRangeLow,
                                   7,
                                   3,
                                   2,
                                   0x01,
                                   0x90,
                                   20,
                                   5,
                                   3,
                                   0x00,
                                   0xFA,
                                   30,
                                   6,
                                   4,
                                   0x01,
                                   0x40,
                                   0x0F,
                                   0xA0,
                                   static_cast<std::uint8_t>(flags & 0xFF),
                                   static_cast<std::uint8_t>(flags >> 8),
                                   0,
                                   0,
                                   0,
                                   0,
                                   0x13,
                                   0x88,
                                   0,
                                   0,
                                   0x0F,
                                   0x07,
                                   0xD0,
                                   1,
                                   0,
                                   0x0D,
                                   0x03,
                                   0xE8,
                                   4,
                                   0,
                                   0x11};
    return QByteArray(reinterpret_cast<const char*>(body), 40);
}

QByteArray WriteFrame(const QByteArray& body) {
    Command::ConfigWriteFrame f{};
    Command::WrapConfigWrite(f, reinterpret_cast<const std::uint8_t*>(body.constData()));
    return QByteArray(reinterpret_cast<const char*>(f.data()), Command::ConfigWriteLength);
}

// What report 9 carries for a written body: the PWM words turned low byte first.
QByteArray AsReported(QByteArray body) {
    std::swap(body[15], body[16]);
    std::swap(body[17], body[18]);
    return body;
}

Command::FrameClass Classify(const QByteArray& frame, int expected) {
    Command::ReceiveFrame buffer{};
    const int n = std::min<int>(frame.size(), expected);
    std::copy_n(reinterpret_cast<const std::uint8_t*>(frame.constData()), n, buffer.begin());
    return Command::ClassifyFrame(buffer, n, expected, 0);
}

bool LinkExists(const QString& path) {
    struct stat st {};
    return lstat(path.toLocal8Bit().constData(), &st) == 0;
}

// CPU time the process has used, in clock ticks.
long CpuTicks(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = f.readAll().split(')').last().trimmed().split(' ');
    return fields.value(11).toLong() + fields.value(12).toLong(); // utime, stime
}

// The simulator process, steered through stdin and watched through stdout.
class Sim {
public:
    ~Sim() {
        if (proc.state() != QProcess::NotRunning) {
            proc.kill();
            proc.waitForFinished(3000);
        }
    }

    bool start(const QStringList& args) {
        proc.setProgram(QCoreApplication::applicationDirPath() + "/detector-sim");
        proc.setArguments(args);
        proc.start();
        return proc.waitForStarted(5000) && waitFor("detector-sim: port ", 10000);
    }

    // Waits for `text` in the output that earlier waits have not consumed.
    bool waitFor(const QString& text, int ms = 5000) {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            out += proc.readAllStandardOutput();
            const int at = out.indexOf(text.toUtf8(), cursor);
            if (at >= 0) {
                cursor = at + text.size();
                return true;
            }
            if (timer.elapsed() > ms || proc.state() == QProcess::NotRunning)
                return false;
            proc.waitForReadyRead(50);
        }
    }

    bool command(const QString& line, const QString& ack) {
        proc.write((line + "\n").toUtf8());
        return waitFor(ack);
    }

    bool stop() {
        proc.terminate();
        return proc.waitForFinished(5000);
    }

    QProcess proc;
    QByteArray out;
    int cursor = 0;
};

// The tool's end of the line.
class Port {
public:
    ~Port() { close(); }

    bool open(const QString& path) {
        close();
        hungUp = false;
        fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0)
            return false;
        termios t{};
        tcgetattr(fd, &t);
        cfmakeraw(&t);
        cfsetspeed(&t, B19200);
        tcsetattr(fd, TCSANOW, &t);
        return true;
    }

    void close() {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }

    bool send(const QByteArray& frame) {
        tcflush(fd, TCIFLUSH); // as the tool does: nothing old is taken for an answer
        return ::write(fd, frame.constData(), frame.size()) == frame.size();
    }

    // Reads until `want` bytes came, the line hung up or `ms` passed.
    QByteArray read(int want, int ms) {
        QByteArray got;
        QElapsedTimer timer;
        timer.start();
        while (got.size() < want && !hungUp) {
            const qint64 left = ms - timer.elapsed();
            if (left <= 0)
                break;
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left)) <= 0)
                continue;
            // A hang-up shows in poll; what is still buffered is read first.
            char buf[512];
            const ssize_t n = ::read(fd, buf, std::min<qint64>(sizeof buf, want - got.size()));
            if (n > 0)
                got.append(buf, n);
            else if (p.revents & (POLLHUP | POLLERR))
                hungUp = true;
        }
        return got;
    }

    QByteArray ask(std::uint8_t code, int want, int ms = 1000) {
        return send(RequestFrame(code)) ? read(want, ms) : QByteArray();
    }

    int fd = -1;
    bool hungUp = false;
};

} // namespace

class TestDetectorSim : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString link() const { return dir.path() + "/ttyVD0"; }
    QString state() const { return dir.path() + "/state/config.bin"; }
    QStringList baseArgs() const { return {"--link", link(), "--state", state()}; }

private slots:
    void init() {
        QFile::remove(link());
        QFile::remove(state());
    }

    void answersTheThreeRequestsWithMovingLevels() {
        Sim sim;
        QVERIFY(sim.start(baseArgs()));
        QVERIFY(sim.out.startsWith("detector-sim: port " + link().toUtf8() + "\n"));
        Port port;
        QVERIFY(port.open(link()));
        const std::pair<std::uint8_t, int> kinds[] = {{0x08, 64}, {0x09, 46}, {0x0C, 226}};
        for (const auto& [code, length] : kinds) {
            const QByteArray a = port.ask(code, length);
            QCOMPARE(a.size(), length);
            QVERIFY(Classify(a, length) == Command::FrameClass::Accepted);
            QCOMPARE(std::uint8_t(a[3]), code);
        }
        QSet<QByteArray> levels;
        for (int i = 0; i < 8; ++i) {
            levels.insert(port.ask(0x08, 64).mid(4, 18)); // the nine level words
            QThread::msleep(30);
        }
        QVERIFY(levels.size() > 1);
    }

    void writeIsReportedBackWithPwmBytesSwapped() {
        Sim sim;
        QVERIFY(sim.start(baseArgs()));
        Port port;
        QVERIFY(port.open(link()));
        const QByteArray body = WriteBody(0x8807);
        QVERIFY(port.send(WriteFrame(body)));
        QVERIFY(port.read(1, 200).isEmpty()); // a write is not answered
        QVERIFY(sim.waitFor("configuration written: MW 300/7/3/2"));
        const QByteArray report = port.ask(0x09, 46);
        QVERIFY(Classify(report, 46) == Command::FrameClass::Accepted);
        QCOMPARE(report.mid(4, 40).toHex(), AsReported(body).toHex());
        QCOMPARE(report.mid(19, 4).toHex(), QByteArray("4001a00f"));
        QVERIFY(!QFile::exists(state())); // nothing stored unasked
    }

    void storeToFlashSurvivesARestart() {
        const QByteArray stored = WriteBody(0x4000 | 0x0007);
        QByteArray expected = AsReported(stored);
        expected[20] = 0x00; // the store request is not part of the configuration
        {
            Sim sim;
            QVERIFY(sim.start(baseArgs()));
            QVERIFY(sim.waitFor("using the factory configuration"));
            Port port;
            QVERIFY(port.open(link()));
            QVERIFY(port.send(WriteFrame(stored)));
            QVERIFY(sim.waitFor("configuration stored to " + state()));
            QCOMPARE(QFile(state()).size(), 44);
            QCOMPARE(port.ask(0x09, 46).mid(4, 40).toHex(), expected.toHex());
            QVERIFY(sim.stop());
        }
        {
            Sim sim;
            QVERIFY(sim.start(baseArgs()));
            QVERIFY(sim.waitFor("configuration loaded from " + state()));
            Port port;
            QVERIFY(port.open(link()));
            QCOMPARE(port.ask(0x09, 46).mid(4, 40).toHex(), expected.toHex());
            const QByteArray unstored = WriteBody(0x0007, 0x64); // applied, not stored
            QVERIFY(port.send(WriteFrame(unstored)));
            QVERIFY(sim.waitFor("configuration written"));
            QCOMPARE(port.ask(0x09, 46).mid(4, 40).toHex(), AsReported(unstored).toHex());
            QVERIFY(sim.stop());
        }
        Sim sim;
        QVERIFY(sim.start(baseArgs()));
        Port port;
        QVERIFY(port.open(link()));
        QCOMPARE(port.ask(0x09, 46).mid(4, 40).toHex(), expected.toHex());
    }

    void faultModesSwitchedAtRunTime() {
        Sim sim;
        QVERIFY(sim.start(baseArgs()));
        Port port;
        QVERIFY(port.open(link()));
        using FC = Command::FrameClass;

        QVERIFY(sim.command("fault silent", "ok fault silent"));
        QVERIFY(port.ask(0x08, 64, 300).isEmpty());
        QVERIFY(sim.command("fault none", "ok fault none"));
        QVERIFY(Classify(port.ask(0x08, 64), 64) == FC::Accepted);

        QVERIFY(sim.command("fault bad-checksum", "ok fault bad-checksum"));
        QByteArray a = port.ask(0x08, 64);
        QCOMPARE(a.size(), 64);
        QVERIFY(Classify(a, 64) == FC::Malformed);

        QVERIFY(sim.command("fault checksum-with-type", "ok fault checksum-with-type"));
        a = port.ask(0x09, 46);
        QVERIFY(Classify(a, 46) == FC::Malformed);
        QCOMPARE(
            Command::FrameChecksum(reinterpret_cast<const std::uint8_t*>(a.constData()) + 3, 41),
            std::uint8_t(a[44]));

        QVERIFY(sim.command("fault short", "ok fault short"));
        a = port.ask(0x08, 64, 300);
        QVERIFY(a.size() > 0 && a.size() < 64);

        QVERIFY(sim.command("fault surplus", "ok fault surplus"));
        a = port.ask(0x08, 70, 300);
        QCOMPARE(a.size(), 67);
        QVERIFY(Classify(a, 64) == FC::Accepted);
        QVERIFY(a[64] != Command::STX);

        QVERIFY(sim.command("fault type7", "ok fault type7"));
        a = port.ask(0x08, 64);
        QVERIFY(Classify(a, 64) == FC::Accepted);
        QCOMPARE(int(a[3]), 7);
        QVERIFY(sim.command("fault type11", "ok fault type11"));
        a = port.ask(0x0C, 226);
        QVERIFY(Classify(a, 226) == FC::Accepted);
        QCOMPARE(int(a[3]), 11);

        QVERIFY(sim.command("trickle-ms 3", "ok fault type11"));
        QVERIFY(sim.command("fault trickle", "ok fault trickle trickle-ms 3"));
        QElapsedTimer timer;
        timer.start();
        a = port.ask(0x08, 64, 3000);
        QCOMPARE(a.size(), 64);
        QVERIFY(timer.elapsed() >= 64 * 3 - 10);

        // 226 bytes at 19200 baud 8N1 take about 118 ms.
        QVERIFY(sim.command("fault none", "ok fault none"));
        QVERIFY(sim.command("real-timing on", "ok real-timing on"));
        timer.restart();
        a = port.ask(0x0C, 226, 3000);
        QCOMPARE(a.size(), 226);
        QVERIFY(Classify(a, 226) == FC::Accepted);
        QVERIFY2(timer.elapsed() >= 115, qPrintable(QString::number(timer.elapsed())));

        QVERIFY(sim.command("fault loud", "error: "));
        QVERIFY(Classify(port.ask(0x08, 64), 64) == FC::Accepted);
    }

    void everyNthAnswersOnlyEveryThirdRequest() {
        Sim sim;
        QVERIFY(sim.start(baseArgs() << "--fault"
                                     << "every-nth"
                                     << "--every"
                                     << "3"));
        Port port;
        QVERIFY(port.open(link()));
        QString pattern;
        for (int i = 0; i < 6; ++i)
            pattern += port.ask(0x08, 64, 200).size() == 64 ? 'A' : '-';
        QCOMPARE(pattern, QString("--A--A"));
    }

    void hangupDropsThePortThenItComesBackUnderTheSameName() {
        Sim sim;
        QVERIFY(sim.start(baseArgs() << "--fault"
                                     << "hangup"
                                     << "--hangup-after"
                                     << "2"
                                     << "--hangup-ms"
                                     << "400"));
        Port port;
        QVERIFY(port.open(link()));
        QCOMPARE(port.ask(0x08, 64).size(), 64);
        QCOMPARE(port.ask(0x09, 46).size(), 46);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(port.ask(0x08, 64, 2000).isEmpty());
        QVERIFY(port.hungUp);
        QVERIFY(!LinkExists(link()));             // gone before the line dropped
        QVERIFY(::write(port.fd, "\x02", 1) < 0); // the old handle stays dead
        QVERIFY(sim.waitFor("hanging up for 400 ms"));

        while (!LinkExists(link()) && timer.elapsed() < 5000)
            QThread::msleep(10);
        QVERIFY(LinkExists(link()));
        QVERIFY2(timer.elapsed() >= 350, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(sim.waitFor("is back"));
        QVERIFY(port.open(link()));
        const QByteArray a = port.ask(0x08, 64);
        QCOMPARE(a.size(), 64);
        QVERIFY(Classify(a, 64) == Command::FrameClass::Accepted);
    }

    void survivesTheToolReconnectingWithoutSpinning() {
        Sim sim;
        QVERIFY(sim.start(baseArgs()));
        Port port;
        for (int round = 0; round < 3; ++round) {
            QVERIFY(port.open(link()));
            QCOMPARE(port.ask(0x08, 64).size(), 64);
            port.send(RequestFrame(0x0C)); // closed with an answer under way
            port.close();
            QVERIFY(sim.waitFor("the tool closed the port"));
        }
        const long before = CpuTicks(sim.proc.processId());
        QThread::msleep(1000);
        const long used = CpuTicks(sim.proc.processId()) - before;
        QVERIFY2(before >= 0 && used < 15, qPrintable(QString::number(used))); // ticks of 10 ms
        QVERIFY(port.open(link()));
        const QByteArray a = port.ask(0x09, 46);
        QVERIFY(Classify(a, 46) == Command::FrameClass::Accepted);
    }

    void signalsEndItCleanly_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
    }
    void signalsEndItCleanly() {
        QFETCH(int, signal);
        Sim sim;
        QVERIFY(sim.start(baseArgs()));
        QVERIFY(LinkExists(link()));
        Port port;
        QVERIFY(port.open(link()));
        QCOMPARE(port.ask(0x08, 64).size(), 64);
        ::kill(static_cast<pid_t>(sim.proc.processId()), signal);
        QVERIFY(sim.proc.waitForFinished(5000));
        QCOMPARE(sim.proc.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.proc.exitCode(), 0);
        QVERIFY(!LinkExists(link()));
        QVERIFY(!QFile::exists(state()));
    }

    void replacesAStaleLinkButNotAFile() {
        QVERIFY(QFile::link(dir.path() + "/nowhere", link()));
        {
            Sim sim;
            QVERIFY(sim.start(baseArgs()));
            Port port;
            QVERIFY(port.open(link()));
            QCOMPARE(port.ask(0x08, 64).size(), 64);
        }
        QFile::remove(link());
        QFile file(link());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("keep me");
        file.close();
        Sim sim;
        QVERIFY(!sim.start(baseArgs()));
        sim.proc.waitForFinished(5000);
        QCOMPARE(sim.proc.state(), QProcess::NotRunning);
        QCOMPARE(sim.proc.exitCode(), 1);
        QVERIFY(sim.proc.readAllStandardError().contains("not a symbolic link"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("keep me"));
    }
};

QTEST_GUILESS_MAIN(TestDetectorSim)
#include "test_detector_sim.moc"
