#include "PtyPeer.h"
#include "synaser.h"

#include <QTest>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <random>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

using TestSupport::Bytes;
using TestSupport::PeerScript;
using TestSupport::PeerStep;
using TestSupport::PtyPeer;
using Clock = std::chrono::steady_clock;

namespace {

Bytes Sequence(std::size_t count, std::uint8_t first = 0) {
    Bytes b(count);
    for (std::size_t i = 0; i < count; ++i)
        b[i] = static_cast<std::uint8_t>(first + i);
    return b;
}

Bytes Prefix(const std::uint8_t* data, int count) {
    return Bytes(data, data + count);
}

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

double ProcessCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// How often this thread gave up the processor: each sleep in poll or a timer
// counts once, as does each time it was preempted.
struct ThreadLoad {
    long switches = 0;
    ThreadLoad operator-(const ThreadLoad& other) const { return {switches - other.switches}; }
};

ThreadLoad ThreadLoadNow() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return {usage.ru_nvcsw + usage.ru_nivcsw};
}

// Opens the peer's line the way the link does.
void Open(TBlockSerial& port, const PtyPeer& peer) {
    port.Connect(peer.SlavePath());
    QCOMPARE(port.LastError(), 0);
    QVERIFY(port.InstanceActive());
    port.Config(19200, 8, 'N', 0, false, false);
    QCOMPARE(port.LastError(), 0);
}

// Lets bytes the peer wrote reach the port's input queue.
void Settle(TBlockSerial& port, int expected) {
    QTRY_COMPARE_WITH_TIMEOUT(port.WaitingData(), expected, 1000);
}

} // namespace

class TestSynaser : public QObject {
    Q_OBJECT
private slots:
    void surplusOfAReceiveComesFirstNextTime() {
        PtyPeer peer;
        TBlockSerial port;
        Open(port, peer);

        // All 70 in the queue: one chunk, the 6 extra kept by the object.
        peer.Write(Sequence(70));
        Settle(port, 70);
        std::array<std::uint8_t, 64> buf{};
        QCOMPARE(port.RecvBufferEx(buf.data(), 64, 300), 64);
        QCOMPARE(port.LastError(), 0);
        QCOMPARE(Prefix(buf.data(), 64), Sequence(64));
        QCOMPARE(port.LineBuffer().size(), std::size_t{6});

        peer.Write(Sequence(4, 200));
        Settle(port, 4);
        QCOMPARE(port.RecvBufferEx(buf.data(), 10, 300), 10);
        Bytes expected = Sequence(6, 64);
        const Bytes later = Sequence(4, 200);
        expected.insert(expected.end(), later.begin(), later.end());
        QCOMPARE(Prefix(buf.data(), 10), expected);
        QVERIFY(port.LineBuffer().empty());

        // 64 first, the extra 6 only later: they wait in the driver instead.
        peer.Play({PeerStep{0, Sequence(64, 100), false}, PeerStep{80, Sequence(6, 7), false}});
        QCOMPARE(port.RecvBufferEx(buf.data(), 64, 300), 64);
        QVERIFY(peer.WaitIdle(1000));
        QCOMPARE(port.RecvBufferEx(buf.data(), 6, 300), 6);
        QCOMPARE(Prefix(buf.data(), 6), Sequence(6, 7));
    }

    void shortAnswerEndsAfterOneTimeout() {
        PtyPeer peer;
        TBlockSerial port;
        Open(port, peer);
        peer.Write(Sequence(40));
        Settle(port, 40);

        std::array<std::uint8_t, 64> buf{};
        const auto start = Clock::now();
        QCOMPARE(port.RecvBufferEx(buf.data(), 64, 300), 40);
        const auto elapsed = MsSince(start);
        QCOMPARE(port.LastError(), 9997);
        QCOMPARE(port.LastErrorDesc(), std::string("Timeout during operation"));
        QCOMPARE(Prefix(buf.data(), 40), Sequence(40));
        QVERIFY2(elapsed >= 280 && elapsed < 600, qPrintable(QString::number(elapsed)));

        // Silence alone: nothing stored, one time-out long.
        const auto quiet = Clock::now();
        QCOMPARE(port.RecvBufferEx(buf.data(), 64, 150), 0);
        QCOMPARE(port.LastError(), 9997);
        QVERIFY(MsSince(quiet) >= 140 && MsSince(quiet) < 450);
    }

    void slowTrickleWithShortGapsArrivesWhole() {
        PtyPeer peer;
        TBlockSerial port;
        Open(port, peer);
        const Bytes frame = Sequence(64, 9);
        // Eight pieces 70 ms apart: the call takes longer than its time-out,
        // yet no single wait does.
        peer.Play(TestSupport::Trickle(frame, 8, 70, 20));
        std::array<std::uint8_t, 64> buf{};
        const auto start = Clock::now();
        QCOMPARE(port.RecvBufferEx(buf.data(), 64, 200), 64);
        QCOMPARE(port.LastError(), 0);
        QCOMPARE(Prefix(buf.data(), 64), frame);
        QVERIFY(MsSince(start) > 200);
    }

    // A 64-byte answer trickling in at 19200 baud must not wake the reader
    // once per byte: a waiting receive sleeps until the rest can have arrived.
    void answerAtLineSpeedWakesTheReaderAFewTimes() {
        PtyPeer peer;
        TBlockSerial port;
        Open(port, peer);
        const Bytes frame = TestSupport::MakeReport(8, Sequence(58, 1));
        std::array<std::uint8_t, 64> buf{};
        // Two bytes a millisecond is about the line's pace; the first after 5 ms.
        peer.Play(TestSupport::Trickle(frame, 2, 1, 5));
        const ThreadLoad before = ThreadLoadNow();
        QCOMPARE(port.RecvBufferEx(buf.data(), 64, 200), 64);
        const ThreadLoad spent = ThreadLoadNow() - before;
        QCOMPARE(port.LastError(), 0);
        QCOMPARE(Prefix(buf.data(), 64), frame);
        // One wake per byte (or per piece of two) would be 32 and more.
        QVERIFY2(spent.switches <= 12, qPrintable(QString::number(spent.switches)));
        QVERIFY(peer.WaitIdle(1000));
    }

    // The driver's input queue may hold as few as 128 bytes: whatever the
    // time-out, a receive never naps while more than 100 bytes pile up.
    void receiveNapNeverOutlastsAHundredBytes() {
        TBlockSerial port;
        port.Dcb().BaudRate = 19200;
        port.Dcb().ByteSize = 8;
        using std::chrono::microseconds;
        // Ten bits a byte at 19200 baud: 100 bytes take 52 ms.
        QCOMPARE(port.ReceiveNap(226, 500), microseconds(52083));
        QCOMPARE(port.ReceiveNap(226, 90), microseconds(45000)); // half the wait
        QCOMPARE(port.ReceiveNap(11, 500), microseconds(5208));  // all but the last byte
        QCOMPARE(port.ReceiveNap(1, 500), microseconds(0));
    }

    void closedObjectRefusesTransfers() {
        PtyPeer peer;
        TBlockSerial port;
        QCOMPARE(port.LastError(), 0);
        QCOMPARE(port.LastErrorDesc(), std::string("OK"));
        QVERIFY(!port.InstanceActive());

        const Bytes request{0x02, 0x00, 0x01, 0x08, 0xF8, 0x03};
        QCOMPARE(port.SendBuffer(request.data(), 6), 0);
        QCOMPARE(port.LastError(), 9994);
        QCOMPARE(port.LastErrorDesc(), std::string("Instance not yet connected"));

        // Opened and closed again: still nothing reaches the line.
        Open(port, peer);
        port.CloseSocket();
        QVERIFY(!port.InstanceActive());
        QCOMPARE(port.LastError(), 0);
        QCOMPARE(port.SendBuffer(request.data(), 6), 0);
        QCOMPARE(port.LastError(), 9994);
        QVERIFY(peer.ReadAvailable(100).empty());

        peer.Write(Sequence(5));
        std::array<std::uint8_t, 8> buf{};
        const auto start = Clock::now();
        QCOMPARE(port.RecvBufferEx(buf.data(), 8, 500), 0);
        QCOMPARE(port.LastError(), 9994);
        QVERIFY(MsSince(start) < 100);
        QVERIFY(port.RecvPacket(500).empty());
        QCOMPARE(port.LastError(), 9994);

        // Settings on a closed object fail with the system's reason.
        port.Config(19200, 8, 'N', 0, false, false);
        QCOMPARE(port.LastError(), EBADF);
        QCOMPARE(port.LastErrorDesc(), std::string(std::strerror(EBADF)));
        port.SetCommState();
        QCOMPARE(port.LastError(), EBADF);
    }

    void secondConnectLeavesThePortOpen() {
        PtyPeer peer;
        TBlockSerial port;
        Open(port, peer);
        port.Connect(peer.SlavePath());
        QCOMPARE(port.LastError(), 9992);
        QCOMPARE(port.LastErrorDesc(), std::string("Instance already in use"));
        QVERIFY(port.InstanceActive());
        const Bytes request{0x02, 0x00, 0x01, 0x09, 0xF7, 0x03};
        QCOMPARE(port.SendBuffer(request.data(), 6), 6);
        QCOMPARE(peer.ReadExactly(6, 1000), request);

        // Another object cannot take the same line while this one holds it.
        TBlockSerial other;
        other.Connect(peer.SlavePath());
        QCOMPARE(other.LastError(), EBUSY);
        QVERIFY(!other.InstanceActive());
        QCOMPARE(port.SendBuffer(request.data(), 6), 6);
        QCOMPARE(peer.ReadExactly(6, 1000), request);

        // Once released, it can; destroying an object releases the line too.
        port.CloseSocket();
        other.Connect(peer.SlavePath());
        QCOMPARE(other.LastError(), 0);
        QVERIFY(other.InstanceActive());
        {
            TBlockSerial scoped;
            other.CloseSocket();
            scoped.Connect(peer.SlavePath());
            QCOMPARE(scoped.LastError(), 0);
        }
        port.Connect(peer.SlavePath());
        QCOMPARE(port.LastError(), 0);
    }

    void stuckWriteEndsAfterDeadlockTimeout() {
        PtyPeer peer; // never reads: the line fills up
        TBlockSerial port;
        Open(port, peer);
        port.SetDeadlockTimeout(200);
        const Bytes lots(256 * 1024, 0x55);
        const auto start = Clock::now();
        const int sent = port.SendBuffer(lots.data(), static_cast<int>(lots.size()));
        const auto elapsed = MsSince(start);
        QVERIFY(sent > 0 && sent < static_cast<int>(lots.size()));
        QCOMPARE(port.LastError(), 9997);
        QVERIFY2(elapsed >= 190 && elapsed < 700, qPrintable(QString::number(elapsed)));
        // What did go out arrives intact and in order.
        const Bytes got = peer.ReadExactly(static_cast<std::size_t>(sent), 2000);
        QCOMPARE(got.size(), static_cast<std::size_t>(sent));
        QVERIFY(std::all_of(got.begin(), got.end(), [](std::uint8_t b) { return b == 0x55; }));
    }

    void missingDeviceGivesTheSystemsReason() {
        TBlockSerial port;
        port.Connect("/nonexistent/ttyDetector");
        QCOMPARE(port.LastError(), ENOENT);
        QCOMPARE(port.LastErrorDesc(), std::string("No such file or directory"));
        QVERIFY(!port.InstanceActive());
        QCOMPARE(port.Handle(), SerialPlatform::InvalidPort);
        std::uint8_t b = 0;
        QCOMPARE(port.SendBuffer(&b, 1), 0);
        QCOMPARE(port.LastError(), 9994);
    }

    void comNamesPickTheDevice_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("device");
        QTest::newRow("COM3") << "COM3"
                              << "/dev/ttyS2";
        QTest::newRow("lower case") << "com3"
                                    << "/dev/ttyS2";
        QTest::newRow("two digits") << "COM12"
                                    << "/dev/ttyS11";
        QTest::newRow("no number") << "COM"
                                   << "COM";
        QTest::newRow("not a number") << "COMX"
                                      << "COMX";
        QTest::newRow("COM0") << "COM0"
                              << "COM0";
        QTest::newRow("device path") << "/dev/ttyS2"
                                     << "/dev/ttyS2";
        QTest::newRow("other path") << "/dev/ttyUSB7"
                                    << "/dev/ttyUSB7";
        // Numbers no port can have are no port numbers: the name is opened
        // as typed, and no arithmetic on them may overflow.
        QTest::newRow("lowest int") << "COM-2147483648"
                                    << "COM-2147483648";
        QTest::newRow("negative") << "COM-2"
                                  << "COM-2";
        QTest::newRow("too long") << "COM99999999999999999999"
                                  << "COM99999999999999999999";
        QTest::newRow("negative path") << "/dev/ttyS-2"
                                       << "/dev/ttyS-2";
        QTest::newRow("highest int path") << "/dev/ttyS2147483647"
                                          << "/dev/ttyS2147483647";
    }
    void comNamesPickTheDevice() {
        QFETCH(QString, name);
        QFETCH(QString, device);
        TBlockSerial port;
        port.Connect(name.toStdString());
        QCOMPARE(QString::fromStdString(port.Device()), device);
        port.CloseSocket();
    }

    void configThenQueueSizeLosesUnsavedChange() {
        PtyPeer peer;
        TBlockSerial port;
        Open(port, peer);
        const TDCB applied = port.Dcb();
        QCOMPARE(applied.Flags, std::uint32_t{0x1011});
        QCOMPARE(applied.XonLim, std::uint16_t{1024});
        QCOMPARE(applied.XoffLim, std::uint16_t{1024});
        QCOMPARE(applied.BaudRate, std::uint32_t{19200});
        QCOMPARE(applied.ByteSize, std::uint8_t{8});
        QCOMPARE(applied.Parity, std::uint8_t{0});
        QCOMPARE(applied.StopBits, std::uint8_t{0});

        // The line itself carries the settings: 19200 8N1, binary, no flow control.
        termios t = peer.SlaveSettings();
        QCOMPARE(cfgetospeed(&t), speed_t{B19200});
        QCOMPARE(t.c_cflag & CSIZE, tcflag_t{CS8});
        QVERIFY(!(t.c_cflag & (PARENB | CSTOPB | CRTSCTS)));
        QVERIFY(!(t.c_lflag & (ICANON | ECHO | ISIG)));
        QVERIFY(!(t.c_iflag & (IXON | IXOFF | ICRNL)));
        QVERIFY(!(t.c_oflag & OPOST));

        port.Dcb().BaudRate = 9600; // never applied
        port.SetSizeRecvBuffer(128);
        QCOMPARE(port.LastError(), 0);
        QCOMPARE(port.SizeRecvBuffer(), 128);
        QCOMPARE(port.Dcb().BaudRate, std::uint32_t{19200});
        QCOMPARE(port.Dcb().XonLim, std::uint16_t{32});
        QCOMPARE(port.Dcb().XoffLim, std::uint16_t{32});
        port.Dcb() = TDCB{};
        port.GetCommState();
        QCOMPARE(port.Dcb().BaudRate, std::uint32_t{19200});
        QCOMPARE(port.Dcb().XonLim, std::uint16_t{32});
        QCOMPARE(port.Dcb().Flags, std::uint32_t{0x1011});
        t = peer.SlaveSettings();
        QCOMPARE(cfgetospeed(&t), speed_t{B19200});
    }

    void otherLineSettingsReachTheLine() {
        PtyPeer peer;
        TBlockSerial port;
        port.Connect(peer.SlavePath());
        port.Config(9600, 7, 'e', 2, true, false);
        QCOMPARE(port.LastError(), 0);
        QCOMPARE(port.Dcb().Flags, std::uint32_t{0x1313});
        // A pseudo-terminal always carries 8 bits without parity; the rest
        // of the settings must be there.
        termios t = peer.SlaveSettings();
        QCOMPARE(cfgetospeed(&t), speed_t{B9600});
        QVERIFY(t.c_cflag & CSTOPB);
        QVERIFY((t.c_iflag & IXON) && (t.c_iflag & IXOFF) && (t.c_iflag & INPCK));
        QCOMPARE(t.c_cc[VSTART], cc_t{17});
        QCOMPARE(t.c_cc[VSTOP], cc_t{19});

        port.Config(19200, 8, 'N', 0, false, true);
        QCOMPARE(port.Dcb().Flags, std::uint32_t{0x2015});
        t = peer.SlaveSettings();
        QVERIFY(t.c_cflag & CRTSCTS);
        QVERIFY(!(t.c_cflag & CSTOPB));
        QVERIFY(!(t.c_iflag & (IXON | IXOFF | INPCK)));
        port.GetCommState();
        QCOMPARE(port.Dcb().Flags, std::uint32_t{0x2015});

        port.Config(12345, 8, 'N', 0, false, false);
        QCOMPARE(port.LastError(), EINVAL);
        QCOMPARE(port.LastErrorDesc(), std::string(std::strerror(EINVAL)));
    }

    void purgeAndCloseDropSurplusFlushKeepsIt() {
        PtyPeer peer;
        TBlockSerial port;
        Open(port, peer);
        std::array<std::uint8_t, 64> buf{};

        peer.Write(Sequence(70));
        Settle(port, 70);
        QCOMPARE(port.RecvBufferEx(buf.data(), 64, 300), 64);
        port.Flush();
        QCOMPARE(port.LastError(), 0);
        QCOMPARE(port.LineBuffer().size(), std::size_t{6});
        QCOMPARE(port.RecvBufferEx(buf.data(), 6, 300), 6);
        QCOMPARE(Prefix(buf.data(), 6), Sequence(6, 64));

        // Purge empties both the kept surplus and the driver's queue.
        peer.Write(Sequence(70));
        Settle(port, 70);
        QCOMPARE(port.RecvBufferEx(buf.data(), 64, 300), 64);
        peer.Write(Sequence(3, 50));
        Settle(port, 3);
        port.Purge();
        QCOMPARE(port.LastError(), 0);
        QVERIFY(port.LineBuffer().empty());
        QCOMPARE(port.WaitingData(), 0);
        QCOMPARE(port.RecvBufferEx(buf.data(), 6, 100), 0);
        QCOMPARE(port.LastError(), 9997);

        peer.Write(Sequence(70));
        Settle(port, 70);
        QCOMPARE(port.RecvBufferEx(buf.data(), 64, 300), 64);
        port.CloseSocket();
        QVERIFY(port.LineBuffer().empty());
        Open(port, peer);
        QCOMPARE(port.RecvBufferEx(buf.data(), 6, 100), 0);
    }

    void hangUpEndsTheReceiveWithoutSpinning() {
        PtyPeer peer;
        TBlockSerial port;
        Open(port, peer);
        peer.Play({PeerStep{0, Sequence(10), false}, PeerStep{150, {}, true}});

        std::array<std::uint8_t, 64> buf{};
        const double cpuBefore = ProcessCpuMs();
        const auto start = Clock::now();
        const int got = port.RecvBufferEx(buf.data(), 64, 1500);
        const auto elapsed = MsSince(start);
        const double cpu = ProcessCpuMs() - cpuBefore;
        QCOMPARE(got, 10);
        QCOMPARE(port.LastError(), EIO);
        QCOMPARE(port.LastErrorDesc(), std::string(std::strerror(EIO)));
        QVERIFY2(elapsed < 800, qPrintable(QString::number(elapsed)));
        QVERIFY2(cpu < 200.0, qPrintable(QString::number(cpu)));

        // Every later call also comes back at once with an error.
        const auto again = Clock::now();
        QCOMPARE(port.RecvBufferEx(buf.data(), 64, 1500), 0);
        QVERIFY(port.LastError() != 0 && port.LastError() != 9997);
        QVERIFY(MsSince(again) < 500);
        std::uint8_t b = 0x02;
        port.SendBuffer(&b, 1);
        QVERIFY(port.LastError() != 0);

        // Closing a dead line works and does not throw, even when asked to raise.
        port.SetRaiseExcept(true);
        port.CloseSocket();
        QVERIFY(!port.InstanceActive());
        QCOMPARE(port.Handle(), SerialPlatform::InvalidPort);
    }

    void lineIsBinaryWhateverItWasBefore() {
        PtyPeer peer;
        peer.SetSlaveCooked();
        TBlockSerial port;
        port.Connect(peer.SlavePath());
        QCOMPARE(port.LastError(), 0);
        const Bytes awkward{0x0D, 0x0A, 0x03, 0x04, 0x11, 0x13, 0x7F, 0x00, 0xFF, 0x1A, 0x0D};
        peer.Write(awkward);
        std::array<std::uint8_t, 16> buf{};
        QCOMPARE(port.RecvBufferEx(buf.data(), static_cast<int>(awkward.size()), 500),
                 static_cast<int>(awkward.size()));
        QCOMPARE(Prefix(buf.data(), static_cast<int>(awkward.size())), awkward);
        QCOMPARE(port.SendBuffer(awkward.data(), static_cast<int>(awkward.size())),
                 static_cast<int>(awkward.size()));
        QCOMPARE(peer.ReadExactly(awkward.size(), 1000), awkward); // no echo, no translation
        QVERIFY(peer.ReadAvailable(50).empty());
    }

    void receiveNeverOverrunsNorOverstays() {
        PtyPeer peer;
        TBlockSerial port;
        Open(port, peer);
        std::mt19937 rng(20260307);
        constexpr int timeout = 120;
        struct Case {
            int asked;
            std::size_t sent;
            bool trickle;
        };
        const Case cases[] = {{6, 0, false},    {6, 1, false},    {64, 64, false},
                              {64, 300, false}, {1, 5000, false}, {46, 45, true},
                              {226, 226, true}, {10, 200, true},  {64, 63, false}};
        constexpr int guard = 32;
        for (const Case& c : cases) {
            port.Purge();
            Bytes data(c.sent);
            for (auto& b : data)
                b = static_cast<std::uint8_t>(rng());
            int waits = 1;
            if (c.trickle) {
                PeerScript script;
                std::size_t at = 0;
                while (at < data.size()) {
                    const std::size_t n = std::min<std::size_t>(1 + rng() % 20, data.size() - at);
                    script.push_back(PeerStep{static_cast<int>(rng() % (timeout / 2)),
                                              Bytes(data.begin() + at, data.begin() + at + n),
                                              false});
                    at += n;
                    ++waits;
                }
                peer.Play(script);
            } else if (!data.empty()) {
                // In the background: a big burst fills the line and the
                // writer has to wait for the port to take bytes.
                peer.Play({PeerStep{0, data, false}});
            }
            std::vector<std::uint8_t> buf(static_cast<std::size_t>(c.asked + guard), 0xA5);
            const auto start = Clock::now();
            const int got = port.RecvBufferEx(buf.data(), c.asked, timeout);
            const auto elapsed = MsSince(start);
            const QString what = QStringLiteral("asked %1 sent %2").arg(c.asked).arg(c.sent);
            QVERIFY2(got >= 0 && got <= c.asked, qPrintable(what));
            QCOMPARE(got, static_cast<int>(std::min<std::size_t>(c.sent, c.asked)));
            QVERIFY2(std::equal(data.begin(), data.begin() + got, buf.begin()), qPrintable(what));
            for (int i = c.asked; i < c.asked + guard; ++i)
                QVERIFY2(buf[static_cast<std::size_t>(i)] == 0xA5, qPrintable(what));
            QVERIFY2(elapsed <= waits * timeout + 300,
                     qPrintable(what + QStringLiteral(" took %1 ms").arg(elapsed)));
            QVERIFY(peer.WaitIdle(2000));
        }
    }

    void raisedErrorsCarryCodeAndText() {
        TBlockSerial port;
        port.SetRaiseExcept(true);
        std::uint8_t b = 0;
        try {
            port.SendBuffer(&b, 1);
            QFAIL("no exception");
        } catch (const ESynaSerError& e) {
            QCOMPARE(e.ErrorCode(), 9994);
            QCOMPARE(e.ErrorMessage(), std::string("Instance not yet connected"));
            QCOMPARE(std::string(e.what()),
                     std::string("Communication error 9994: Instance not yet connected"));
        }
        QVERIFY_THROWS_EXCEPTION(ESynaSerError, port.Connect("/nonexistent/ttyDetector"));
        QCOMPARE(port.LastError(), ENOENT);
        port.SetRaiseExcept(false);
        QCOMPARE(port.RecvBufferEx(&b, 1, 10), 0);
        QCOMPARE(port.LastError(), 9994);
    }

    void errorTextsAndDriverFlags() {
        const std::pair<int, const char*> table[] = {
            {0, "OK"},
            {9991, "Port owned by other process"},
            {9992, "Instance already in use"},
            {9993, "Wrong parameter at call"},
            {9994, "Instance not yet connected"},
            {9995, "No device answer detected"},
            {9996, "Maximal buffer length exceeded"},
            {9997, "Timeout during operation"},
            {9998, "Reading of data failed"},
            {9999, "Receive framing error"},
            {10000, "Receive Overrun Error"},
            {10001, "Receive Queue overflow"},
            {10002, "Receive Parity Error"},
            {10003, "Tranceive Queue is full"},
            {ENOENT, "No such file or directory"},
        };
        for (const auto& [code, text] : table)
            QCOMPARE(TBlockSerial::GetErrorDesc(code), std::string(text));

        // The last flag present in the order frame, overrun, overflow,
        // parity, output full decides the code; the text is left alone.
        TBlockSerial port;
        port.TranslateCommErrors(0x0008 | 0x0002);
        QCOMPARE(port.LastError(), 10000);
        port.TranslateCommErrors(0x0004 | 0x0001 | 0x0008);
        QCOMPARE(port.LastError(), 10002);
        port.TranslateCommErrors(0x0100 | 0x0004);
        QCOMPARE(port.LastError(), 10003);
        QCOMPARE(port.LastErrorDesc(), std::string("OK"));
    }

    void peerAnswersRequestsAsScripted() {
        PtyPeer peer;
        const Bytes report = TestSupport::MakeReport(8, Sequence(58, 1));
        QCOMPARE(report.size(), std::size_t{64});
        peer.StartResponder([&report](const Bytes& request) -> PeerScript {
            if (request.size() == 6 && request[3] == 0x08) // answered in two pieces
                return {PeerStep{10, Bytes(report.begin(), report.begin() + 30), false},
                        PeerStep{40, Bytes(report.begin() + 30, report.end()), false}};
            return {}; // configuration writes get no answer
        });
        TBlockSerial port;
        Open(port, peer);
        Bytes write(46, 0x00);
        write[0] = 0x02;
        write[2] = 0x29;
        write[3] = 0x01;
        write[45] = 0x03;
        QCOMPARE(port.SendBuffer(write.data(), 46), 46);
        const Bytes request{0x02, 0x00, 0x01, 0x08, 0xF8, 0x03};
        QCOMPARE(port.SendBuffer(request.data(), 6), 6);
        std::array<std::uint8_t, 64> buf{};
        QCOMPARE(port.RecvBufferEx(buf.data(), 64, 200), 64);
        QCOMPARE(Prefix(buf.data(), 64), report);
        QCOMPARE(peer.RequestCount(), 2);
        QCOMPARE(peer.Requests()[0], write);
        QCOMPARE(peer.Requests()[1], request);
        peer.StopResponder();
    }
};

QTEST_GUILESS_MAIN(TestSynaser)
#include "test_synaser.moc"
