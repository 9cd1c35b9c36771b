#include "GraphFeed.h"
#include "Payloads.h"
#include "ReportPdf.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <QDir>
#include <QRegularExpression>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

// The report read back as a person (or a search tool) reads it: the text
// pdftotext extracts, and the pictures pdfimages lists.
namespace {

QString Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>").arg(program, process.readAllStandardError());
    return QString::fromUtf8(process.readAllStandardOutput());
}

// A record whose every field differs from its neighbours, so a value in the
// wrong row or column shows.
DetectorConfig KnownRecord() {
    DetectorConfig c;
    const std::uint8_t bytes[DetectorConfig::Size] = {
        0x01, 0xC2, 23,   7,    3,    0,  // MW: threshold 450, speed 23, rate 7, pulses 3
        0x02, 0x6C, 31,   9,    4,    0,  // high PIR: 620, 31, 9, 4
        0x00, 0x37, 17,   2,    5,    0,  // low PIR: 55, 17, 2, 5
        0xA0, 0x00, 0x40, 0x06,           // PWM duty 160 (10.0 %), period 1600 (10,000 KHz)
        0x81, 0x08,                       // Mw, Led ON, temperature compensation
        0,    0,    0,    0,              // reserved
        0x1F, 0x40, 1,    0,    0x17,     // Out #1: 8000 ms, OR, enabled, MW + A. Pir, NO
        0x09, 0xC4, 9,    0,    0x08,     // Out #2: 2500 ms, code 9, disabled, U. Pir, NC
        0x03, 0xE8, 3,    0,    0x01, 0}; // Out #3: 1000 ms, MASK, enabled
    std::copy(std::begin(bytes), std::end(bytes), c.Bytes.begin());
    return c;
}

ReportFacts KnownFacts(bool withEventLog) {
    ReportFacts f;
    f.Time = QDateTime(QDate(2026, 5, 4), QTime(13, 14, 15));
    f.Port = QStringLiteral("/dev/ttyUSB7");
    f.Version = QStringLiteral("9.8");
    f.Config = KnownRecord();
    f.Lenses = {QStringLiteral("Angle"), QStringLiteral("Vertical Curtain")};

    StatusPayload status;
    status.BE16(At::MwLevel, 333).BE16(At::Pir1Level, 444).BE16(At::Pir2Level, 222);
    status.BE16(At::Temperature, -7).Byte(At::AccX, 0x80).Byte(At::AccY, 12).Byte(At::AccZ, 0xFD);
    // Tamper, Out #2, and the high PIR's noise reduction switched on.
    status.DetectFlags(0x00, 0x08).DeviceFlags(0x12, 0x00);
    ReportFacts::Live live;
    std::copy(status.Bytes.begin(), status.Bytes.end(), live.Status.Bytes.begin());
    f.LastStatus = live;

    if (withEventLog) {
        EventPayload log;
        log.Record(0, 0x00, 0x40, {4321, 1234, 987, 11, 12, 13, 14, -5, 0, 0}); // Fail DOWN PIR
        log.Record(9, 0x03, 0x00, {65535, 1, 2, 3, 4, 5, 6, 38, 0, 0});         // MW
        EventBuffer converted = log.Bytes;
        ConvertEventWords(converted);
        f.EventLog = EventRecordsOf(converted);
    }

    SweepGraph graph(980, 264);
    for (int i = 0; i < 200; ++i)
        graph.Feed(live.Status);
    f.Graph = graph.Picture();
    return f;
}

// Words separated by any run of blanks, as pdftotext lays table cells out.
bool HasRow(const QString& text, const QStringList& cells) {
    QStringList escaped;
    for (const QString& cell : cells)
        escaped << QRegularExpression::escape(cell);
    return QRegularExpression(escaped.join(QStringLiteral("\\s+"))).match(text).hasMatch();
}

} // namespace

class TestReport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("pdfimages")).isEmpty())
            QSKIP("poppler-utils (pdftotext, pdfimages) are not installed");
    }

    void reportHoldsConfigurationLogAndOnePicture() {
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("site.pdf"));
        QCOMPARE(WriteReportPdf(pdf, KnownFacts(true)), QString());
        const QString text =
            Run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, "-"});

        QVERIFY2(HasRow(text, {"2026-05-04 13:14:15", "/dev/ttyUSB7", "9.8"}), qPrintable(text));
        // Channels: threshold, rate, speed, pulses, lens.
        QVERIFY(HasRow(text, {"Radar", "450", "7", "23", "3"}));
        QVERIFY(HasRow(text, {"Pir High above", "620", "9", "31", "4", "Angle"}));
        QVERIFY(HasRow(text, {"Pir Down Under", "55", "2", "17", "5", "Vertical Curtain"}));
        QVERIFY(HasRow(text, {"Enable Mw", "on"}));
        QVERIFY(HasRow(text, {"Enable Pir High above", "off"}));
        QVERIFY(HasRow(text, {"Led ON", "on"}));
        // The PIR boxes follow the live status, as the window's do; the
        // rows say where their state comes from.
        QVERIFY(HasRow(text, {"PIR UP(Auto change N.R.)", "on", "last live status"}));
        QVERIFY(HasRow(text, {"PIR DOWN(Auto change N.R.)", "off", "last live status"}));
        QVERIFY(HasRow(text, {"Mw noise reduction", "off", "configuration"}));
        // Each heading once, also one that a table took to the next page.
        for (const char* heading :
             {"Configuration", "Live readings", "Event log", "Signal graph"}) {
            const QRegularExpression line(QStringLiteral("^\\f?%1( *$|  )").arg(heading),
                                          QRegularExpression::MultilineOption);
            QVERIFY2(text.count(line) == 1, heading);
        }
        // Outputs: a code past the last item reads as the last, seconds are
        // rounded half to even and held in the bar's range.
        QVERIFY(HasRow(text, {"Out #1", "on", "OR", "MW, A. Pir", "NO", "8 sec."}));
        QVERIFY(HasRow(text, {"Out #2", "off", "AUTO TEST", "U. Pir", "NC", "2 sec."}));
        QVERIFY(HasRow(text, {"Out #3", "on", "MASK", "NC", "1 sec."}));
        QVERIFY(text.contains(QStringLiteral("DC:  10.0 %  @10KHz")) ||
                text.contains(QStringLiteral("DC: 10.0 % @10KHz")));
        QVERIFY(HasRow(text, {"Frequency", "10,000 KHz"}) ||
                HasRow(text, {"Frequency", "10000 KHz"}));
        // Live readings and lamps.
        QVERIFY(HasRow(text, {"Radar level", "333"}));
        QVERIFY(HasRow(text, {"Ntc", "-7°C"}));
        QVERIFY(HasRow(text, {"TAMPER X", "-128"}));
        QVERIFY(HasRow(text, {"TAMPER Z", "-3"}));
        QVERIFY(HasRow(text, {"Lamps on:", "TAMPER, Out #2"}));
        // The event log as the LOGS page shows it.
        QVERIFY(HasRow(
            text, {"1", "Fail DOWN PIR", "4321", "1234", "987", "11", "12", "13", "14", "-5°C"}));
        QVERIFY(HasRow(text, {"10", "MW", "65535", "1", "2", "3", "4", "5", "6", "38°C"}));

        const QStringList images = Run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf})
                                       .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(images.size(), 2 + 1); // two header lines, then one picture
        QVERIFY2(images[2].contains(QStringLiteral(" 980 ")) &&
                     images[2].contains(QStringLiteral(" 264 ")),
                 qPrintable(images[2]));
    }

    void unreadLogIsSaidInOneLine() {
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("site.pdf"));
        QCOMPARE(WriteReportPdf(pdf, KnownFacts(false)), QString());
        const QString text = Run(QStringLiteral("pdftotext"), {pdf, "-"});
        QVERIFY(text.contains(QStringLiteral("The event log was not read in this session.")));
        QVERIFY(!text.contains(QStringLiteral("ALLARM")));
    }

    void unwritableTargetLeavesTheOldFileWhole() {
#ifndef Q_OS_UNIX
        QSKIP("folder rights are checked on POSIX systems");
#else
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("site.pdf"));
        QFile old(pdf);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("the earlier report");
        old.close();
        // Nobody may write in the folder; root may write anywhere, so the
        // write is tried as an ordinary user in a child process.
        QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                                      QFileDevice::ReadOther |
                                                      QFileDevice::ExeOther));
        QString error;
        if (::geteuid() == 0) {
            const pid_t child = ::fork();
            QVERIFY(child >= 0);
            if (child == 0) {
                if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                    ::_exit(3);
                const QString e = WriteReportPdf(pdf, KnownFacts(true));
                ::_exit(e.contains(QDir::toNativeSeparators(pdf)) ? 1 : e.isEmpty() ? 0 : 2);
            }
            int status = 0;
            QCOMPARE(::waitpid(child, &status, 0), child);
            QVERIFY(WIFEXITED(status));
            QCOMPARE(WEXITSTATUS(status), 1); // failed, and the message names the file
        } else {
            error = WriteReportPdf(pdf, KnownFacts(true));
            QVERIFY2(error.contains(QDir::toNativeSeparators(pdf)), qPrintable(error));
        }
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("the earlier report"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1); // no leftover
#endif
    }
};

QTEST_MAIN(TestReport)
#include "test_report.moc"
