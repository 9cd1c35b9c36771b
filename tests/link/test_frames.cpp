#include "Command.h"
#include "FrameTrace.h"

#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace Command;

namespace {

// A well-formed report of `total` bytes with the given type and payload byte value.
ReceiveFrame makeReport(int total, std::uint8_t type, std::uint8_t fill) {
    ReceiveFrame f{};
    const int len = total - 6;
    f[0] = STX;
    f[1] = 0;
    f[2] = static_cast<std::uint8_t>(len);
    f[3] = type;
    for (int i = 0; i < len; ++i)
        f[4 + i] = static_cast<std::uint8_t>(fill + i);
    f[len + 4] = FrameChecksum(&f[4], len);
    f[len + 5] = ETX;
    return f;
}

} // namespace

class TestFrames : public QObject {
    Q_OBJECT
private slots:
    void checksumRule() {
        const std::uint8_t zeros[40] = {};
        QCOMPARE(FrameChecksum(zeros, 40), std::uint8_t{0x00});
        const std::uint8_t some[] = {0x10, 0x00, 0x40, 0x06};
        QCOMPARE(FrameChecksum(some, 4), std::uint8_t{0xAA});
        QCOMPARE(FrameChecksum(some, 0), std::uint8_t{0x00});
        const std::uint8_t wraps[] = {0xFF, 0xFF, 0x03};
        QCOMPARE(FrameChecksum(wraps, 3), std::uint8_t{0xFF}); // 0x201 -> 0x01 -> 0xFF
    }

    void requestFramesByteForByte() {
        LinkBuffers b;
        QCOMPARE(b.PollRequest[4], std::uint8_t{0x00}); // filled in only by a selection
        b.RequestLiveStatus();
        QCOMPARE(b.PollRequest, (RequestFrame{0x02, 0x00, 0x01, 0x08, 0xF8, 0x03}));
        QCOMPARE(b.ExpectedLength, 64);
        b.RequestConfigRead();
        QCOMPARE(b.PollRequest, (RequestFrame{0x02, 0x00, 0x01, 0x09, 0xF7, 0x03}));
        QCOMPARE(b.ExpectedLength, 46);
        b.RequestEventLog();
        QCOMPARE(b.PollRequest, (RequestFrame{0x02, 0x00, 0x01, 0x0C, 0xF4, 0x03}));
        QCOMPARE(b.ExpectedLength, 226);
    }

    void configWriteEnvelope() {
        std::uint8_t body[40];
        for (int i = 0; i < 40; ++i)
            body[i] = static_cast<std::uint8_t>(i * 7 + 3);
        ConfigWriteFrame f{};
        WrapConfigWrite(f, body);
        QCOMPARE(f[0], std::uint8_t{0x02});
        QCOMPARE(f[1], std::uint8_t{0x00});
        QCOMPARE(f[2], std::uint8_t{0x29});
        QCOMPARE(f[3], std::uint8_t{0x01});
        QCOMPARE(f[45], std::uint8_t{0x03});
        unsigned sum = 0;
        for (int i = 3; i <= 44; ++i)
            sum += f[i];
        QCOMPARE(sum % 256, 0u); // code byte, body and checksum add up to zero
        QCOMPARE(f[2] + 5, ConfigWriteLength);
    }

    void reportChecksumIgnoresTypeByte() {
        ReceiveFrame f = makeReport(46, 9, 0x11);
        QVERIFY(ReportChecksumOk(f.data()));
        QCOMPARE(ClassifyFrame(f, 46, 46, 0), FrameClass::Accepted);
        // A checksum computed over the type byte as well is rejected.
        f[44] = FrameChecksum(&f[3], 41);
        QVERIFY(!ReportChecksumOk(f.data()));
        QCOMPARE(ClassifyFrame(f, 46, 46, 0), FrameClass::Malformed);
    }

    void classification_data() {
        QTest::addColumn<int>("mutation");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("portError");
        QTest::addColumn<int>("expected");
        const int no = int(FrameClass::NoAnswer), bad = int(FrameClass::Malformed),
                  ok = int(FrameClass::Accepted);
        QTest::newRow("well formed") << 0 << 64 << 0 << ok;
        QTest::newRow("short count") << 0 << 63 << 9997 << no;
        QTest::newRow("short count, no error") << 0 << 40 << 0 << no;
        QTest::newRow("port error, full count") << 0 << 64 << 9999 << no;
        QTest::newRow("first byte not STX") << 1 << 64 << 0 << no;
        QTest::newRow("byte 1 not zero") << 2 << 64 << 0 << bad;
        QTest::newRow("wrong LEN") << 3 << 64 << 0 << bad;
        QTest::newRow("bad checksum") << 4 << 64 << 0 << bad;
        QTest::newRow("bad ETX") << 5 << 64 << 0 << bad;
    }

    void classification() {
        QFETCH(int, mutation);
        QFETCH(int, count);
        QFETCH(int, portError);
        QFETCH(int, expected);
        ReceiveFrame f = makeReport(64, 8, 0x20);
        switch (mutation) {
        case 1:
            f[0] = 0x03;
            break;
        case 2:
            f[1] = 0x01;
            break;
        case 3:
            f[2] = 57;
            break;
        case 4:
            f[62] ^= 0x01;
            break;
        case 5:
            f[63] = 0x02;
            break;
        }
        QCOMPARE(int(ClassifyFrame(f, count, 64, portError)), expected);
    }

    void wrongLenNeverReadsPastTheAnswer() {
        // LEN 255 would put checksum and ETX beyond the 257-byte buffer; the LEN
        // test must reject it before they are read.
        ReceiveFrame f = makeReport(226, 12, 0);
        f[2] = 0xFF;
        QCOMPARE(ClassifyFrame(f, 226, 226, 0), FrameClass::Malformed);
    }

    void otherTypesInALiveStatusAnswer() {
        // A short type-7 frame while 64 bytes are expected is no answer...
        ReceiveFrame pwm = makeReport(10, 7, 1);
        QCOMPARE(ClassifyFrame(pwm, 10, 64, 9997), FrameClass::NoAnswer);
        // ...but a 64-byte frame of type 7 or 11 is accepted; dispatch goes by type.
        ReceiveFrame seven = makeReport(64, 7, 1);
        QCOMPARE(ClassifyFrame(seven, 64, 64, 0), FrameClass::Accepted);
        QCOMPARE(int(seven[4] | seven[5] << 8), 0x0201);
        ReceiveFrame eleven = makeReport(64, 11, 0);
        QCOMPARE(ClassifyFrame(eleven, 64, 64, 0), FrameClass::Accepted);
    }

    void traceLinesSayWhatEachFrameIs() {
        const QDateTime when(QDate(2026, 12, 9), QTime(14, 3, 7, 42));
        const RequestFrame request{0x02, 0x00, 0x01, 0x0C, 0xF4, 0x03};
        QCOMPARE(TraceLine({FrameEvent::RequestSent, request.data(), 6}, when),
                 QString("2026-12-09 14:03:07.042\ttx\trequest 0C\t02 00 01 0C F4 03"));
        ConfigWriteFrame write{};
        std::uint8_t body[ConfigBodyLength] = {};
        WrapConfigWrite(write, body);
        QCOMPARE(DescribeFrame({FrameEvent::WriteSent, write.data(), 46}), QString("write"));
        body[20] = 0x40; // the store-to-flash bit of the flag word
        WrapConfigWrite(write, body);
        QCOMPARE(DescribeFrame({FrameEvent::WriteSent, write.data(), 46}), QString("store write"));

        const ReceiveFrame live = makeReport(64, 8, 0);
        QCOMPARE(DescribeFrame({FrameEvent::Received, live.data(), 64, FrameClass::Accepted}),
                 QString("report 8"));
        QCOMPARE(DescribeFrame({FrameEvent::Received, live.data(), 64, FrameClass::Malformed}),
                 QString("malformed"));
        const QString none =
            TraceLine({FrameEvent::Received, live.data(), 3, FrameClass::NoAnswer}, when);
        QVERIFY2(none.endsWith("\trx\tno answer (3 bytes)\t02 00 3A"), qPrintable(none));
    }

#ifdef Q_OS_UNIX
    // "--trace -" into a pipe whose reader has gone: the write fails (the
    // program ignores SIGPIPE from its start), is told once and ends the
    // trace; the link goes on.
    void traceWriteFailureIsToldOnceAndEndsTheTrace() {
        std::signal(SIGPIPE, SIG_IGN);
        int ends[2];
        QCOMPARE(pipe(ends), 0);
        const int savedOut = dup(STDOUT_FILENO);
        std::fflush(stdout);
        dup2(ends[1], STDOUT_FILENO);
        close(ends[1]);
        close(ends[0]);
        QStringList told;
        {
            FrameTrace trace;
            trace.ReportFailure = [&](const QString& text) { told << text; };
            const QString opened = trace.Open("-");
            const RequestFrame request{0x02, 0x00, 0x01, 0x08, 0xF8, 0x03};
            for (int i = 0; opened.isEmpty() && i < 3; ++i)
                trace.Record({FrameEvent::RequestSent, request.data(), 6});
            dup2(savedOut, STDOUT_FILENO);
            close(savedOut);
            QCOMPARE(opened, QString());
        }
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].startsWith("Trace stopped: cannot write \"standard output\"."),
                 qPrintable(told[0]));
    }

    // Opening a FIFO with no reader would hang the start; a device or a
    // folder is no trace either. Each is refused at once, naming the file.
    void traceTakesOnlyRegularFiles() {
        QTemporaryDir dir;
        const QString fifo = dir.filePath("fifo");
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        for (const QString& path : {QString("/dev/null"), dir.path(), fifo}) {
            FrameTrace trace;
            const QString error = trace.Open(path);
            QVERIFY2(error.contains('"' + path + '"') && error.contains("not a regular file"),
                     qPrintable(path + ": " + error));
        }
        FrameTrace regular, missing;
        QCOMPARE(regular.Open(dir.filePath("trace.txt")), QString());
        QVERIFY(!missing.Open("/nonexistent/folder/trace.txt").isEmpty());
    }
#endif

    void typeByteMustAgreeWithTheLength() {
        // The checksum leaves the type byte out, so a live status with one bit
        // flipped (8 -> 9) is otherwise perfect; taken as a configuration it
        // would fill the controls with garbage that the next change writes.
        const std::pair<int, int> wrong[] = {{64, 9}, {64, 12}, {46, 8}, {226, 9}, {46, 12}};
        for (const auto& [length, type] : wrong) {
            const ReceiveFrame f = makeReport(length, type, 0x30);
            QVERIFY2(ClassifyFrame(f, length, length, 0) == FrameClass::Malformed,
                     qPrintable(QString("type %1 in %2 bytes").arg(type).arg(length)));
        }
        const std::pair<int, int> right[] = {{64, 8}, {46, 9}, {226, 12}, {46, 7}, {226, 10}};
        for (const auto& [length, type] : right) {
            const ReceiveFrame f = makeReport(length, type, 0x30);
            QVERIFY2(ClassifyFrame(f, length, length, 0) == FrameClass::Accepted,
                     qPrintable(QString("type %1 in %2 bytes").arg(type).arg(length)));
        }
    }
};

QTEST_APPLESS_MAIN(TestFrames)
#include "test_frames.moc"
