#include "ConfigFile.h"
#include "ConfigReport.h"
#include "ConfigWriteFrame.h"
#include "DetectorConfig.h"
#include "PwmLabels.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <csignal>
#include <future>
#include <memory>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

namespace {

// Runs `f` on a thread of its own and gives its result if it came within
// `seconds`; a call that blocks for good is left behind rather than hanging
// the test run.
template <class F> auto WithinSeconds(int seconds, F f) -> std::optional<decltype(f())> {
    using R = decltype(f());
    auto promise = std::make_shared<std::promise<R>>();
    std::future<R> result = promise->get_future();
    std::thread([promise, f] { promise->set_value(f()); }).detach();
    if (result.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready)
        return std::nullopt;
    return result.get();
}

using Body = ConfigWriteBody;

// A report 9 payload whose every value lies inside the design ranges and
// whose reserved bytes and stray flag bits are not zero.
std::array<std::uint8_t, 40> SamplePayload() {
    return {0x01, 0x2C, 17,   6,    3,     // Mw: 300, Tconv 17, Nconv 6, NPulse 3
            0x02, 0x58, 25,   9,    2,     // Pir1: 600
            0x00, 0x64, 40,   1,    5,     // Pir2: 100
            0xA0, 0x00, 0x40, 0x06,        // PwmDc 160, PwmFq 1600, low byte first
            0xC5, 0x8B,                    // flags, 0x0020 and 0x1000 among them
            0xDE, 0xAD, 0xBE, 0xEF,        // reserved
            0x0B, 0xB8, 1,    0x5A, 0xE3,  // Out #1: 3000 ms, OR, aux, flags
            0x13, 0x88, 4,    0x00, 0x1F,  // Out #2: 5000 ms, AUTO TEST
            0x03, 0xE8, 0,    0x77, 0x00}; // Out #3: 1000 ms, AND
}

// What the controls hold after showing `config`, with every value in range.
ConfigControlValues ControlsShowing(const DetectorConfig& config) {
    ConfigControlValues controls;
    for (int ch = 0; ch < DetectorConfig::ChannelCount; ++ch)
        controls.Channels[ch] = {config.TRange(ch), config.Tconv(ch), config.Nconv(ch),
                                 config.NPulse(ch)};
    controls.PwmDc = config.PwmDc();
    controls.PwmFq = config.PwmFq();
    controls.CheckedFlags = config.ConfigFlags() & (WritableFlags & ~FlagStoreToFlash);
    for (int out = 0; out < DetectorConfig::OutputCount; ++out)
        controls.Functions[out] = config.Function(out);
    return controls;
}

QByteArray RecordBytes(const DetectorConfig& config) {
    return QByteArray(reinterpret_cast<const char*>(config.Bytes.data()), DetectorConfig::Size);
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class TestConfigRecord : public QObject {
    Q_OBJECT
private slots:
    void fieldsDecodeInTheDetectorsByteOrder() {
        DetectorConfig config;
        const auto payload = SamplePayload();
        UnpackConfigReport(config, payload.data());
        QCOMPARE(config.TRange(DetectorConfig::ChannelMw), 300);
        QCOMPARE(config.TRange(DetectorConfig::ChannelPir1), 600);
        QCOMPARE(config.Nconv(DetectorConfig::ChannelPir1), 9);
        QCOMPARE(config.NPulse(DetectorConfig::ChannelPir2), 5);
        QCOMPARE(config.PwmDc(), 160);
        QCOMPARE(config.PwmFq(), 1600);
        QCOMPARE(config.ConfigFlags(), 0x8BC5);
        QCOMPARE(config.TimeAnd(1), 5000);
        QCOMPARE(config.Function(1), 4);
        QCOMPARE(config.OutAux(0), 0x5A);
        QCOMPARE(config.OutFlags(0), 0xE3);

        config.SetTimeAnd(2, 2500);
        QCOMPARE(config.Bytes[38], 0x09);
        QCOMPARE(config.Bytes[39], 0xC4);
        config.SetOutFlag(0, OutMw, false);
        config.SetOutFlag(0, OutNormallyOpen, true);
        QCOMPARE(config.OutFlags(0), 0xF1); // the other bits untouched
    }

    void reportFillsFivePiecesAndLeavesThePads() {
        DetectorConfig config;
        config.Bytes.fill(0xEE);
        std::array<std::uint8_t, 40> payload;
        for (int i = 0; i < 40; ++i)
            payload[i] = static_cast<std::uint8_t>(i + 1);
        UnpackConfigReport(config, payload.data());
        const int recordOf[40] = {0,  1,  2,  3,  4,  6,  7,  8,  9,  10, 12, 13, 14, 15,
                                  16, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30,
                                  31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42};
        for (int p = 0; p < 40; ++p)
            QCOMPARE(config.Bytes[recordOf[p]], payload[p]);
        for (int pad : {5, 11, 17, 43})
            QCOMPARE(config.Bytes[pad], 0xEE);
    }

    void recordWrittenBackUnchanged() {
        DetectorConfig config;
        const auto payload = SamplePayload();
        UnpackConfigReport(config, payload.data());
        const auto frame = MakeConfigWriteFrame(ControlsShowing(config), config, 0);

        QCOMPARE(frame.size(), std::size_t{46});
        QCOMPARE(frame[0], 0x02);
        QCOMPARE(frame[1], 0x00);
        QCOMPARE(frame[2], 0x29);
        QCOMPARE(frame[3], 0x01);
        for (int i = 0; i <= 14; ++i)
            QCOMPARE(frame[4 + i], payload[i]);
        // PWM positions go out high byte first.
        QCOMPARE(frame[19], 0x00);
        QCOMPARE(frame[20], 0xA0);
        QCOMPARE(frame[21], 0x06);
        QCOMPARE(frame[22], 0x40);
        // Flags as received, less the bits no check box owns (0x0020, 0x1000).
        QCOMPARE(frame[23], 0xC5 & ~0x20);
        QCOMPARE(frame[24], 0x8B & ~0x10);
        for (int i = 25; i <= 28; ++i)
            QCOMPARE(frame[i], 0x00);
        for (int i = 25; i <= 39; ++i)
            QCOMPARE(frame[4 + i], payload[i]);
        unsigned sum = 0;
        for (int i = 3; i <= 44; ++i)
            sum += frame[i];
        QCOMPARE(sum % 256, 0u);
        QCOMPARE(frame[45], 0x03);
    }

    void flagsComeFromTheBoxesAndTheStoreRequest() {
        DetectorConfig config;
        ConfigControlValues controls;
        controls.CheckedFlags = FlagEnMw | FlagAutoTest;
        Body body = MakeConfigWriteBody(controls, config, 0);
        QCOMPARE(body[19], 0x01);
        QCOMPARE(body[20], 0x80);

        body = MakeConfigWriteBody(controls, config, FlagStoreToFlash);
        QCOMPARE(body[20], 0xC0);

        // Bits that no control owns never go out, whatever asks for them.
        controls.CheckedFlags = 0x3020;
        body = MakeConfigWriteBody(controls, config, 0x3020);
        QCOMPARE(body[19], 0x00);
        QCOMPARE(body[20], 0x00);
    }

    void outputsTakeTheRecordAndTheRadioGroups() {
        DetectorConfig config;
        config.SetTimeAnd(0, 7000);
        config.Bytes[31] = 0x42; // OutAux
        config.Bytes[32] = 0xA5; // OutFlags, bits 0x20-0x80 included
        config.Bytes[30] = 3;    // Function in the record: the control wins
        ConfigControlValues controls;
        controls.Functions = {1, -1, 300};
        const Body body = MakeConfigWriteBody(controls, config, 0);
        QCOMPARE(body[25], 0x1B);
        QCOMPARE(body[26], 0x58);
        QCOMPARE(body[27], 1);
        QCOMPARE(body[28], 0x42);
        QCOMPARE(body[29], 0xA5);
        QCOMPARE(body[32], 0xFF); // no selection
        QCOMPARE(body[37], 300 & 0xFF);
    }

    void trackBarValuesBeyondSixteenBits() {
        ConfigControlValues controls;
        controls.Channels[0].TRange = 500;
        controls.Channels[2].TRange = 0x1ABCD; // only the low 16 bits fit
        const Body body = MakeConfigWriteBody(controls, DetectorConfig{}, 0);
        QCOMPARE(body[0], 0x01);
        QCOMPARE(body[1], 0xF4);
        QCOMPARE(body[10], 0xAB);
        QCOMPARE(body[11], 0xCD);
    }

    void pwmLabelsUseTheUsersSeparators() {
        const QLocale english(QLocale::English, QLocale::UnitedStates);
        const QLocale german(QLocale::German, QLocale::Germany);
        QCOMPARE(PwmDutyLabel(160, english), QStringLiteral("DC:  10.0 %  @10KHz"));
        QCOMPARE(PwmDutyLabel(1, english), QStringLiteral("DC:  0.1 %  @10KHz"));
        QCOMPARE(PwmDutyLabel(65535, english), QStringLiteral("DC:  4,095.9 %  @10KHz"));
        QCOMPARE(PwmDutyLabel(65535, german), QStringLiteral("DC:  4.095,9 %  @10KHz"));
        QCOMPARE(PwmDutyLabel(65535, QLocale::c()), QStringLiteral("DC:  4,095.9 %  @10KHz"));

        QCOMPARE(PwmFrequencyLabel(1600, english), QStringLiteral("10,000 KHz"));
        QCOMPARE(PwmFrequencyLabel(1600, german), QStringLiteral("10.000 KHz"));
        QCOMPARE(PwmFrequencyLabel(1600, QLocale::c()), QStringLiteral("10,000 KHz"));
        QCOMPARE(PwmFrequencyLabel(16000, english), QStringLiteral("1,000 KHz"));
        QCOMPARE(PwmFrequencyLabel(3, english), QStringLiteral("5,333,333 KHz"));
        QCOMPARE(PwmFrequencyLabel(0, english), QStringLiteral("0 KHz"));
    }

    void saveNameRule() {
        QCOMPARE(ConfigSaveFileName("/x/site1"), QStringLiteral("/x/site1.bin"));
        QCOMPARE(ConfigSaveFileName("/x/site1.BIN"), QStringLiteral("/x/site1.BIN.bin"));
        QCOMPARE(ConfigSaveFileName("/x/cabin"), QStringLiteral("/x/cabin"));
        QCOMPARE(ConfigSaveFileName("/x/a.bin"), QStringLiteral("/x/a.bin"));
        QCOMPARE(ConfigSaveFileName("in"), QStringLiteral("in.bin"));
    }

    void fileRoundTripAndLongerFiles() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        DetectorConfig saved;
        for (int i = 0; i < DetectorConfig::Size; ++i)
            saved.Bytes[i] = static_cast<std::uint8_t>(0xA0 ^ i);
        const QString path = dir.filePath("a.bin");
        QCOMPARE(WriteConfigFile(path, saved), QString());
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), RecordBytes(saved)); // pads included, nothing else

        const QString longer = dir.filePath("long.bin");
        WriteFile(longer, RecordBytes(saved) + QByteArray(20, '\x55'));
        DetectorConfig loaded;
        QCOMPARE(ReadConfigFile(longer, loaded), QString());
        QCOMPARE(RecordBytes(loaded), RecordBytes(saved));
    }

    void badFilesLeaveTheRecordAlone() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        WriteFile(dir.filePath("empty.bin"), {});
        WriteFile(dir.filePath("short.bin"), QByteArray(43, '\x11'));
        QVERIFY(QDir(dir.path()).mkdir("folder.bin"));

        DetectorConfig config;
        config.Bytes.fill(0x77);
        const QByteArray before = RecordBytes(config);

        const QString missing = dir.filePath("missing.bin");
        QCOMPARE(ReadConfigFile(missing, config),
                 QStringLiteral("Cannot open file \"%1\". No such file or directory").arg(missing));
        const QString folder = dir.filePath("folder.bin");
        QVERIFY(ReadConfigFile(folder, config)
                    .startsWith(QStringLiteral("Cannot open file \"%1\". ").arg(folder)));
        QCOMPARE(ReadConfigFile(dir.filePath("empty.bin"), config),
                 QStringLiteral("Stream read error"));
        QCOMPARE(ReadConfigFile(dir.filePath("short.bin"), config),
                 QStringLiteral("Stream read error"));
        // Opens, but every read fails.
        QCOMPARE(ReadConfigFile("/proc/self/mem", config), QStringLiteral("Stream read error"));
        QCOMPARE(RecordBytes(config), before);
    }

    void failedSavesSayWhy() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        WriteFile(dir.filePath("plain"), "x");
        QVERIFY(QDir(dir.path()).mkdir("cabin"));
        DetectorConfig config;

        const QString folder = dir.filePath("cabin");
        QVERIFY(WriteConfigFile(folder, config)
                    .startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(folder)));
        const QString under = dir.filePath("plain/inner.bin");
        QCOMPARE(WriteConfigFile(under, config),
                 QStringLiteral("Cannot create file \"%1\". Not a directory").arg(under));
        QCOMPARE(QFile(dir.filePath("plain")).size(), 1);

        // A file that opens but cannot grow: the write itself fails.
        const QString capped = dir.filePath("capped.bin");
        {
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            rlimit old{};
            QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
            rlimit small = old;
            small.rlim_cur = 10;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
            const FileError error = WriteConfigFile(capped, config);
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldHandler);
            QCOMPARE(error, QStringLiteral("Stream write error"));
        }
    }

    void onlyRegularFilesAreOpened() {
        // Opening a named pipe waits for the other end: the window would
        // freeze for good. Pipes, devices and folders are refused at once.
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString pipe = dir.filePath("pipe.bin");
        QCOMPARE(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        const QString device = dir.filePath("device.bin");
        QVERIFY(QFile::link("/dev/zero", device));

        DetectorConfig config;
        config.Bytes.fill(0x5A);
        const QByteArray before = RecordBytes(config);
        for (const QString& path : {pipe, device}) {
            const auto read = WithinSeconds(2, [&] { return ReadConfigFile(path, config); });
            QVERIFY2(read, "loading waited on something that is not a file");
            QCOMPARE(
                *read,
                QStringLiteral("Cannot open file \"%1\". It is not a regular file.").arg(path));
            const auto saved = WithinSeconds(2, [&] { return WriteConfigFile(path, config); });
            QVERIFY2(saved, "saving waited on something that is not a file");
            QCOMPARE(
                *saved,
                QStringLiteral("Cannot create file \"%1\". It is not a regular file.").arg(path));
        }
        QCOMPARE(RecordBytes(config), before);
    }
};

QTEST_GUILESS_MAIN(TestConfigRecord)
#include "test_config_record.moc"
