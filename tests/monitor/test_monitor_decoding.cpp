#include "CsvText.h"
#include "EventRecord.h"
#include "GraphGeometry.h"
#include "LiveStatus.h"
#include "NumberText.h"
#include "Payloads.h"

#include <QTest>

#include <cstring>

namespace {

LiveStatus Decode(const StatusPayload& p) {
    LiveStatus s;
    std::memcpy(s.Bytes.data(), p.data(), LiveStatus::Size);
    return s;
}

const QString Deg = QStringLiteral("\u00B0C");

} // namespace

class TestMonitorDecoding : public QObject {
    Q_OBJECT
private slots:
    void everyFieldAtItsOffsetHighByteFirst() {
        // Each field gets a value whose two bytes differ, so a swapped or
        // shifted read shows.
        const int offsets[] = {At::MwLevel,      At::MwRangeLevel,   At::MwDirectLevel,
                               At::Pir1Level,    At::Pir1RangeLevel, At::Pir1DirectLevel,
                               At::Pir2Level,    At::Pir2RangeLevel, At::Pir2DirectLevel,
                               At::MaskLevel,    At::Acc1Level,      At::Acc2Level,
                               At::Acc1Noise,    At::Acc2Noise,      At::Pir1RefLevel,
                               At::Pir2RefLevel, At::MwRefLevel};
        StatusPayload p;
        for (int i = 0; i < 17; ++i)
            p.BE16(offsets[i], 0x0100 * (i + 1) + 0x10 + i);
        const LiveStatus s = Decode(p);
        const std::uint16_t read[] = {s.MwLevel(),      s.MwRangeLevel(),   s.MwDirectLevel(),
                                      s.Pir1Level(),    s.Pir1RangeLevel(), s.Pir1DirectLevel(),
                                      s.Pir2Level(),    s.Pir2RangeLevel(), s.Pir2DirectLevel(),
                                      s.MaskLevel(),    s.Acc1Level(),      s.Acc2Level(),
                                      s.Acc1Noise(),    s.Acc2Noise(),      s.Pir1RefLevel(),
                                      s.Pir2RefLevel(), s.MwRefLevel()};
        for (int i = 0; i < 17; ++i)
            QCOMPARE(read[i], std::uint16_t(0x0100 * (i + 1) + 0x10 + i));
        QCOMPARE(Decode(StatusPayload().BE16(At::MwLevel, 65535)).MwLevel(), std::uint16_t{65535});
    }

    void signedFields() {
        StatusPayload p;
        p.Byte(At::Temperature, 0xFF).Byte(At::Temperature + 1, 0xF6);
        p.Byte(At::AccX, 0x80).Byte(At::AccY, 0x7F).Byte(At::AccZ, 0xFF);
        p.Byte(53, 0x55).Byte(55, 0x55).Byte(57, 0x55); // reserved neighbours
        const LiveStatus s = Decode(p);
        QCOMPARE(s.Temperature(), std::int16_t{-10});
        QCOMPARE(s.AccX(), std::int8_t{-128});
        QCOMPARE(s.AccY(), std::int8_t{127});
        QCOMPARE(s.AccZ(), std::int8_t{-1});
        QCOMPARE(Decode(StatusPayload().BE16(At::Temperature, 100)).Temperature(),
                 std::int16_t{100});
    }

    void flagWordsLowByteFirst() {
        FlagSet f{};
        const LiveStatus mw = Decode(StatusPayload().DetectFlags(0x01, 0x00));
        UnpackFlags(mw.DetectFlags(), f);
        QVERIFY(f[0]);
        QCOMPARE(std::count(f.begin(), f.end(), true), 1);

        const LiveStatus tamper = Decode(StatusPayload().DetectFlags(0x00, 0x08));
        UnpackFlags(tamper.DetectFlags(), f);
        QVERIFY(f[DetectFlag::Tamper]);
        QCOMPARE(std::count(f.begin(), f.end(), true), 1);

        const LiveStatus dev = Decode(StatusPayload().DeviceFlags(0x10, 0x40));
        UnpackFlags(dev.DeviceFlags(), f);
        QVERIFY(f[DeviceFlag::NoisePir1] && f[DeviceFlag::DiagnosticOn]);
        QCOMPARE(std::count(f.begin(), f.end(), true), 2);

        UnpackFlags(0x8000, f);
        QVERIFY(f[15] && !f[0]);
        UnpackFlags(0xFFFF, f);
        QCOMPARE(std::count(f.begin(), f.end(), true), 16);
    }

    void rowsRoundHalfToEven() {
        QCOMPARE(TraceRow(MwRow, 0), 80);
        QCOMPARE(TraceRow(MwRow, 5), 80); // 0.5 -> 0
        QCOMPARE(TraceRow(MwRow, 15), 78);
        QCOMPARE(TraceRow(MwRow, 25), 78); // 2.5 -> 2
        QCOMPARE(TraceRow(MwRow, 26), 77);
        QCOMPARE(TraceRow(Pir2Row, 700), 170);
        QCOMPARE(TraceRow(MwRow, 65535), 80 - 6554); // 6553.5 -> 6554
        QCOMPARE(ReferenceRow(0, 0), 81);
        QCOMPARE(ReferenceRow(0, 80), 161);
        QCOMPARE(ReferenceRow(0, 160), 241);
        QCOMPARE(ReferenceRow(5, 0), 80);  // 80.5 -> 80
        QCOMPARE(ReferenceRow(15, 0), 80); // 79.5 -> 80
        QCOMPARE(ReferenceRow(900, 0), -9);
        QCOMPARE(ReferenceRow(65535, 0), -6472); // -6472.5 -> -6472
    }

    void alarmConditions() {
        FlagSet detect{}, device{};
        QVERIFY(!AlarmActive(detect, device));
        for (int bit : {DeviceFlag::Out1, DeviceFlag::Out2, DeviceFlag::Out3}) {
            device = {};
            device[bit] = true;
            QVERIFY(AlarmActive(detect, device));
        }
        device = {};
        for (int bit : {DetectFlag::Tamper, DetectFlag::Acc1, DetectFlag::Acc2}) {
            detect = {};
            detect[bit] = true;
            QVERIFY(AlarmActive(detect, device));
        }
        // Detections, noise and faults alone are no alarm.
        detect = {};
        detect[DetectFlag::Mw] = detect[DetectFlag::Pir1] = detect[DetectFlag::Acc1Noise] = true;
        device[DeviceFlag::CpuFault] = device[DeviceFlag::NoisePir1] = true;
        QVERIFY(!AlarmActive(detect, device));
    }

    void numberTexts() {
        QCOMPARE(CelsiusText(-5), QStringLiteral("-5") + Deg);
        QCOMPARE(CelsiusText(0), QStringLiteral("0") + Deg);
        QCOMPARE(CelsiusText(100), QStringLiteral("100") + Deg);
        QCOMPARE(GeneralNumberText(-9999), QStringLiteral("-9999"));
        QCOMPARE(GeneralNumberText(32767), QStringLiteral("3.277E+04"));
        QCOMPARE(GeneralNumberText(-32768), QStringLiteral("-3.277E+04"));
    }

    // --- event records ------------------------------------------------------

    void eventWordsConvertedInPlace() {
        EventPayload p;
        p.Record(0, 0x03, 0x00, {0x1234, 2, 3, 4, 5, 6, 7, 0xFFFB, 0xABCD, 0x5A5A});
        p.Record(9, 0x00, 0x80, {65535, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        EventBuffer b = p.Bytes;
        ConvertEventWords(b);
        // Flag bytes untouched; every other word now in the machine's order.
        QCOMPARE(b[0], std::uint8_t{0x03});
        QCOMPARE(b[1], std::uint8_t{0x00});
        std::uint16_t w;
        std::memcpy(&w, &b[2], 2);
        QCOMPARE(w, std::uint16_t{0x1234});
        std::memcpy(&w, &b[20], 2);
        QCOMPARE(w, std::uint16_t{0x5A5A});
        QCOMPARE(b[9 * 22 + 1], std::uint8_t{0x80});

        const EventRecord r = ReadEventRecord(b, 0);
        QCOMPARE(r.EventFlags, std::uint16_t{0x0003});
        QCOMPARE(r.MaxMw, std::uint16_t{0x1234});
        QCOMPARE(r.NoiseIr2, std::uint16_t{7});
        QCOMPARE(r.Ntc, std::int16_t{-5});
        QCOMPARE(r.AuxValue, std::uint16_t{0xABCD});
        QCOMPARE(ReadEventRecord(b, 9).EventFlags, std::uint16_t{0x8000});
        QCOMPARE(ReadEventRecord(b, 9).MaxMw, std::uint16_t{65535});
    }

    void lowestFlagNamesTheEvent() {
        const char* texts[16] = {"MW",      "UP PIR",      "DOWN PIR",      "MASK",
                                 "BL 1",    "BL 2",        "Gen Alarm",     "Bs On",
                                 "TAMPER",  "Fail Lis302", "NTC",           "LowPower",
                                 "Fail Mw", "Fail UP PIR", "Fail DOWN PIR", "---"};
        for (int n = 0; n < 16; ++n) {
            QCOMPARE(EventTypeText(static_cast<std::uint16_t>(1u << n)),
                     QString::fromLatin1(texts[n]));
            // Any higher flags set as well change nothing.
            QCOMPARE(EventTypeText(static_cast<std::uint16_t>(0xFFFFu << n)),
                     QString::fromLatin1(texts[n]));
        }
        QVERIFY(EventTypeText(0).isEmpty());
    }

    void rowTexts() {
        EventRecord r;
        r.EventFlags = 0x4000;
        r.MaxMw = 65535;
        r.MaxPirAbove = 1;
        r.NoiseIr2 = 900;
        r.Ntc = -5;
        r.AuxValue = 77;
        const auto t = EventRowTexts(r);
        QCOMPARE(t[0], QStringLiteral("Fail DOWN PIR"));
        QCOMPARE(t[1], QStringLiteral("65535"));
        QCOMPARE(t[2], QStringLiteral("1"));
        QCOMPARE(t[3], QStringLiteral("0"));
        QCOMPARE(t[7], QStringLiteral("900"));
        QCOMPARE(t[8], QStringLiteral("-5") + Deg);
    }

    void csvQuotingAndEncoding() {
        // Quoted only where a reader would split or trim the field.
        QCOMPARE(CsvField("Max MW"), QString("Max MW"));
        QCOMPARE(CsvField(""), QString(""));
        QCOMPARE(CsvField("a,b"), QString("\"a,b\""));
        QCOMPARE(CsvField("say \"hi\""), QString("\"say \"\"hi\"\"\""));
        QCOMPARE(CsvField("two\nlines"), QString("\"two\nlines\""));
        QCOMPARE(CsvField("cr\r"), QString("\"cr\r\""));
        QCOMPARE(CsvField("1 "), QString("\"1 \""));
        // CR LF after every record, UTF-8 after one byte-order mark, which
        // spreadsheets need to read the degree sign right.
        const QByteArray text = CsvText({{"Ntc:", ""}, {"-5\u00B0C", "x,\"y"}});
        QCOMPARE(text, QByteArray("\xEF\xBB\xBFNtc:,\r\n-5\xC2\xB0"
                                  "C,\"x,\"\"y\"\r\n"));
        QCOMPARE(CsvText({}), QByteArray("\xEF\xBB\xBF"));
    }
};

QTEST_GUILESS_MAIN(TestMonitorDecoding)
#include "test_monitor_decoding.moc"
