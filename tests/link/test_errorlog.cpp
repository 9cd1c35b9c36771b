#include "ErrorLog.h"
#include "synaser.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>

namespace {

const QLocale us(QLocale::English, QLocale::UnitedStates);

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

ErrorLogTarget At(const QString& path, QDate date = QDate(2026, 3, 7), QTime time = QTime(13, 7)) {
    return {path, QDateTime(date, time), us};
}

} // namespace

class TestErrorLog : public QObject {
    Q_OBJECT
private slots:
    void twelveHourClock_data() {
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QString>("text");
        QTest::newRow("after midnight") << QTime(0, 5) << "12:05 am";
        QTest::newRow("noon") << QTime(12, 30) << "12:30 pm";
        QTest::newRow("afternoon") << QTime(13, 7) << "01:07 pm";
        QTest::newRow("before noon") << QTime(11, 59) << "11:59 am";
        QTest::newRow("last minute") << QTime(23, 59, 59) << "11:59 pm";
    }
    void twelveHourClock() {
        QFETCH(QTime, time);
        QFETCH(QString, text);
        QCOMPARE(ErrorLogTime(time, us), text);
    }

    void separatorsComeFromTheLocale() {
        QCOMPARE(ErrorLogDate(QDate(2026, 3, 7), us), QStringLiteral("03/07/26"));
        QCOMPARE(ErrorLogDate(QDate(2009, 12, 31), us), QStringLiteral("12/31/09"));
        const QLocale german(QLocale::German, QLocale::Germany);
        QCOMPARE(ErrorLogDate(QDate(2026, 3, 7), german), QStringLiteral("03.07.26"));
        QCOMPARE(ErrorLogTime(QTime(13, 7), german), QStringLiteral("01:07 pm"));
        const QLocale swedish(QLocale::Swedish, QLocale::Sweden);
        QCOMPARE(ErrorLogDate(QDate(2026, 3, 7), swedish), QStringLiteral("03-07-26"));
        const QLocale finnish(QLocale::Finnish, QLocale::Finland);
        QCOMPARE(ErrorLogTime(QTime(0, 5), finnish), QStringLiteral("12.05 am"));
        // Quoted literal text is not a separator.
        const QLocale canadianFrench(QLocale::French, QLocale::Canada);
        QCOMPARE(LocaleTimeSeparator(canadianFrench), QChar(u':'));
    }

    void newFileHoldsTheTimeOutRecordAlone() {
        QTemporaryDir dir;
        const QString path = dir.filePath("LogError.txt");
        QString failure;
        QVERIFY(WriteErrorLog(
            std::nullopt,
            QStringLiteral(" BuffRX[0]= 0 LenRX= 64 message: Timeout during operation"), At(path),
            &failure));
        QVERIFY(failure.isEmpty());
        QCOMPARE(ReadAll(path),
                 QByteArray("Error Time Stamp: 01:07 pm on 03/07/26\r\n"
                            "Error String:   BuffRX[0]= 0 LenRX= 64 message: Timeout during "
                            "operation\r\n"));
    }

    void errorRecordIsAppendedBehindExistingLines() {
        QTemporaryDir dir;
        const QString path = dir.filePath("LogError.txt");
        QByteArray old;
        for (int i = 1; i <= 10; ++i)
            old += "earlier line " + QByteArray::number(i) + "\r\n";
        WriteBytes(path, old);

        const ESynaSerError error(9997, "Timeout during operation");
        QVERIFY(WriteErrorLog(LoggedErrorFrom(error), QString(),
                              At(path, QDate(2026, 3, 7), QTime(0, 5))));
        const QByteArray now = ReadAll(path);
        QVERIFY(now.startsWith(old));
        const QList<QByteArray> lines = now.split('\n');
        QCOMPARE(lines.size(), 15); // 14 lines and the empty rest after the last line end
        QVERIFY(lines.last().isEmpty());
        for (int i = 0; i < 14; ++i)
            QVERIFY2(lines[i].endsWith('\r'), lines[i].constData());
        QVERIFY(lines[10].startsWith("Error Time Stamp: 12:05 am on "));
        QCOMPARE(lines[11], QByteArray("Error Class: ESynaSerError\r"));
        QCOMPARE(lines[12],
                 QByteArray("Error Message: Communication error 9997: Timeout during operation\r"));
        QCOMPARE(lines[13], QByteArray("Error String:  \r"));
    }

    void emptyMessageStillWritesItsLine() {
        QTemporaryDir dir;
        const QString path = dir.filePath("LogError.txt");
        QVERIFY(WriteErrorLog(LoggedError{QStringLiteral("std::runtime_error"), QString()},
                              QString(), At(path)));
        const QList<QByteArray> lines = ReadAll(path).split('\n');
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines[2], QByteArray("Error Message: \r"));

        const LoggedError other = LoggedErrorFrom(std::runtime_error("disk full"));
        QCOMPARE(other.className, QStringLiteral("std::runtime_error"));
        QCOMPARE(other.message, QStringLiteral("disk full"));
    }

    void lastLineWithoutLineEndIsKept() {
        QTemporaryDir dir;
        const QString path = dir.filePath("LogError.txt");
        WriteBytes(path, "first\r\nunfinished");
        QVERIFY(WriteErrorLog(std::nullopt, QStringLiteral("x"), At(path)));
        QCOMPARE(ReadAll(path), QByteArray("first\r\nunfinished\r\n"
                                           "Error Time Stamp: 01:07 pm on 03/07/26\r\n"
                                           "Error String:  x\r\n"));
    }

    void fileWithByteOrderMarkKeepsItsEncoding() {
        QTemporaryDir dir;
        const QString path = dir.filePath("LogError.txt");
        QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
        WriteBytes(path, utf16.encode(QStringLiteral("Größe\r\n")));
        QVERIFY(WriteErrorLog(std::nullopt, QStringLiteral("Übertragung"), At(path)));
        const QByteArray bytes = ReadAll(path);
        QVERIFY(bytes.startsWith("\xFF\xFE"));
        QStringDecoder decode(QStringConverter::Utf16LE);
        const QString text = decode(bytes.mid(2));
        QVERIFY(!decode.hasError());
        QCOMPARE(text, QStringLiteral("Größe\r\nError Time Stamp: 01:07 pm on 03/07/26\r\n"
                                      "Error String:  Übertragung\r\n"));

        const QString utf8Path = dir.filePath("utf8.txt");
        WriteBytes(utf8Path, "\xEF\xBB\xBFold\r\n");
        QVERIFY(WriteErrorLog(std::nullopt, QStringLiteral("é"), At(utf8Path)));
        QVERIFY(ReadAll(utf8Path).endsWith("Error String:  \xC3\xA9\r\n"));
        QCOMPARE(ReadAll(utf8Path).count("\xEF\xBB\xBF"), 1);
    }

    void newFileHasNoByteOrderMark() {
        QTemporaryDir dir;
        const QString path = dir.filePath("LogError.txt");
        QVERIFY(WriteErrorLog(std::nullopt, QStringLiteral("é"), At(path)));
        const QByteArray bytes = ReadAll(path);
        QVERIFY(bytes.startsWith("Error Time Stamp"));
        QStringEncoder system(QStringConverter::System);
        const QByteArray tail = system.encode(QStringLiteral("Error String:  é\r\n"));
        QVERIFY(bytes.endsWith(tail));
    }

    void unwritablePlaceGivesAnErrorText() {
        QTemporaryDir dir;
        QString failure;
        // The path is a folder.
        QVERIFY(!WriteErrorLog(std::nullopt, QStringLiteral("x"), At(dir.path()), &failure));
        QVERIFY(!failure.isEmpty());
        QVERIFY(failure.contains(QDir::toNativeSeparators(dir.path())));

        // The folder is a regular file.
        const QString plain = dir.filePath("plain");
        WriteBytes(plain, "keep me\r\n");
        failure.clear();
        QVERIFY(!WriteErrorLog(std::nullopt, QStringLiteral("x"), At(plain + "/LogError.txt"),
                               &failure));
        QVERIFY(!failure.isEmpty());
        QCOMPARE(ReadAll(plain), QByteArray("keep me\r\n"));
        // A full disk: the open succeeds, the write does not.
        if (QFile::exists(QStringLiteral("/dev/full"))) {
            failure.clear();
            QVERIFY(!WriteErrorLog(std::nullopt, QStringLiteral("x"), At("/dev/full"), &failure));
            QVERIFY2(failure.contains(QString::fromLocal8Bit(std::strerror(ENOSPC))),
                     qPrintable(failure));
        }
        // No place for the text: still no crash and no exception.
        QVERIFY(!WriteErrorLog(std::nullopt, QString(), At(plain + "/LogError.txt")));
    }

    // Beside the program while that can be written; otherwise the user's
    // data folder (made when missing) rather than losing the record; when
    // neither works, the text names both places.
    void unwritableProgramFolderFallsBackToTheDataFolder() {
        QTemporaryDir dir;
        const QString plain = dir.filePath("plain");
        WriteBytes(plain, "keep me\r\n");
        ErrorLogTarget target = At(plain + "/LogError.txt");
        target.fallbackPath = dir.filePath("data/Configuration Tools/LogError.txt");
        QString failure;
        QVERIFY(WriteErrorLog(std::nullopt, QStringLiteral("away"), target, &failure));
        QVERIFY(ReadAll(target.fallbackPath).endsWith("Error String:  away\r\n"));
        QCOMPARE(ReadAll(plain), QByteArray("keep me\r\n"));

        // A folder whose rights forbid writing: only an unprivileged user
        // is refused, and only then is the record moved.
        const QString locked = dir.filePath("locked");
        QVERIFY(QDir().mkpath(locked));
        QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner |
                                                  QFile::ReadOther | QFile::ExeOther));
        QFile probe(locked + "/probe");
        const bool lockedForUs = !probe.open(QIODevice::WriteOnly);
        probe.remove();
        target.path = locked + "/LogError.txt";
        QVERIFY(WriteErrorLog(std::nullopt, QStringLiteral("locked"), target, &failure));
        QCOMPARE(ReadAll(target.fallbackPath).endsWith("Error String:  locked\r\n"), lockedForUs);
        QCOMPARE(QFile::exists(target.path), !lockedForUs);
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        // A writable program folder keeps the record beside the program.
        target.path = dir.filePath("LogError.txt");
        const QByteArray before = ReadAll(target.fallbackPath);
        QVERIFY(WriteErrorLog(std::nullopt, QStringLiteral("here"), target, &failure));
        QVERIFY(ReadAll(target.path).endsWith("Error String:  here\r\n"));
        QCOMPARE(ReadAll(target.fallbackPath), before);

        target.path = plain + "/LogError.txt";
        target.fallbackPath = plain + "/data/LogError.txt";
        QVERIFY(!WriteErrorLog(std::nullopt, QStringLiteral("lost"), target, &failure));
        QVERIFY2(failure.contains(QDir::toNativeSeparators(target.path)) &&
                     failure.contains(QDir::toNativeSeparators(target.fallbackPath)),
                 qPrintable(failure));
    }

    void defaultPlaceIsBesideTheProgram() {
        const ErrorLogTarget target = ErrorLogTarget::Default();
        QCOMPARE(target.path,
                 QDir(QCoreApplication::applicationDirPath()).filePath("LogError.txt"));
        QCOMPARE(target.fallbackPath,
                 QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
                     .filePath("LogError.txt"));
        QVERIFY(qAbs(target.now.secsTo(QDateTime::currentDateTime())) < 5);
    }
};

QTEST_GUILESS_MAIN(TestErrorLog)
#include "test_errorlog.moc"
