#include "Siren.h"
#include "SirenPlayer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString ShippedSound() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/SIREN1.WAV");
}

} // namespace

class TestSiren : public QObject {
    Q_OBJECT
private slots:
    void shippedSoundPlaysToItsEnd() {
        QVERIFY2(QFile::exists(ShippedSound()), "SIREN1.WAV is built beside the program");
        Siren siren;
        QCOMPARE(siren.MediaPlayer1->objectName(), QStringLiteral("MediaPlayer1"));
        if (!siren.MediaPlayer1->IsAvailable())
            QSKIP("no media backend on this platform");
        QVERIFY(siren.SetSoundFile(ShippedSound()));
        QSignalSpy started(&siren, &Siren::Started);
        QSignalSpy ended(&siren, &Siren::Ended);

        siren.StartSiren();
        QVERIFY(siren.SirenPlaying());
        siren.StartSiren(); // a second start while playing is ignored
        QCOMPARE(started.count(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(!siren.SirenPlaying(), 15000);
        QCOMPARE(ended.count(), 1);
        QCOMPARE(siren.LastEnd(), Siren::End::EndOfMedia);

        // After the end the next alarm plays the sound again.
        siren.StartSiren();
        QVERIFY(siren.SirenPlaying());
        QCOMPARE(started.count(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(!siren.SirenPlaying(), 15000);
        QCOMPARE(siren.LastEnd(), Siren::End::EndOfMedia);
    }

    void missingFileKeepsTheAlarmSilent() {
        QTemporaryDir empty;
        Siren siren;
        QVERIFY(!siren.SetSoundFile(QDir(empty.path()).filePath(QStringLiteral("SIREN1.WAV"))));
        QVERIFY(!siren.Available());
        QSignalSpy started(&siren, &Siren::Started);
        siren.StartSiren();
        QVERIFY(!siren.SirenPlaying());
        QCOMPARE(started.count(), 0);
    }

    void brokenFileEndsThePlayback() {
        QTemporaryDir dir;
        QFile bad(dir.filePath(QStringLiteral("SIREN1.WAV")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("RIFF\x10\x00\x00\x00WAVEfmt garbage that is no sound at all");
        bad.close();
        Siren siren;
        if (!siren.MediaPlayer1->IsAvailable())
            QSKIP("no media backend on this platform");
        QVERIFY(siren.SetSoundFile(bad.fileName()));
        siren.StartSiren();
        // Whatever the player makes of it, the playback must end.
        QTRY_VERIFY_WITH_TIMEOUT(!siren.SirenPlaying(), 15000);
        QVERIFY(siren.LastEnd() != Siren::End::None);
    }

    void endNotificationAllowsTheNextStart() {
        Siren siren;
        if (!siren.MediaPlayer1->IsAvailable())
            QSKIP("no media backend on this platform");
        QVERIFY(siren.SetSoundFile(ShippedSound()));
        siren.StartSiren();
        QVERIFY(siren.SirenPlaying());
        siren.MediaPlayer1Notify();
        QVERIFY(!siren.SirenPlaying());
        QVERIFY(siren.MediaPlayer1->IsStopped());
        siren.StartSiren();
        QVERIFY(siren.SirenPlaying());
        siren.MediaPlayer1Notify();
    }
};

QTEST_MAIN(TestSiren)
#include "test_siren.moc"
