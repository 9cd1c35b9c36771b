#include "ErrorLog.h"

#include "synaser.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringEncoder>

#include <memory>
#include <typeinfo>

#if defined(__GNUG__)
#include <cstdlib>
#include <cxxabi.h>
#endif

namespace {

QString TypeName(const std::exception& error) {
    const char* raw = typeid(error).name();
#if defined(__GNUG__)
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(
        abi::__cxa_demangle(raw, nullptr, nullptr, &status), std::free);
    if (status == 0 && demangled)
        return QString::fromUtf8(demangled.get());
    return QString::fromUtf8(raw);
#else
    QString name = QString::fromUtf8(raw);
    for (const char* prefix : {"class ", "struct "}) {
        if (name.startsWith(QLatin1String(prefix)))
            return name.mid(static_cast<int>(qstrlen(prefix)));
    }
    return name;
#endif
}

// The first separator character of a date or time pattern: anything that is
// not a field letter, a blank or quoted literal text.
QChar FirstSeparator(const QString& pattern, QChar fallback) {
    bool quoted = false;
    for (const QChar c : pattern) {
        if (c == u'\'') {
            quoted = !quoted;
            continue;
        }
        if (quoted || c.isLetter() || c.isSpace())
            continue;
        return c;
    }
    return fallback;
}

struct FileEncoding {
    std::optional<QStringConverter::Encoding> bomEncoding; // none: system 8-bit code page
    qsizetype bomLength = 0;
};

FileEncoding EncodingFromHead(const QByteArray& head) {
    const auto starts = [&head](std::initializer_list<unsigned char> bytes) {
        if (head.size() < static_cast<qsizetype>(bytes.size()))
            return false;
        qsizetype i = 0;
        for (const unsigned char b : bytes) {
            if (static_cast<unsigned char>(head[i++]) != b)
                return false;
        }
        return true;
    };
    if (starts({0xEF, 0xBB, 0xBF}))
        return {QStringConverter::Utf8, 3};
    if (starts({0xFF, 0xFE, 0x00, 0x00}))
        return {QStringConverter::Utf32LE, 4};
    if (starts({0x00, 0x00, 0xFE, 0xFF}))
        return {QStringConverter::Utf32BE, 4};
    if (starts({0xFF, 0xFE}))
        return {QStringConverter::Utf16LE, 2};
    if (starts({0xFE, 0xFF}))
        return {QStringConverter::Utf16BE, 2};
    return {};
}

qsizetype CodeUnitSize(const FileEncoding& encoding) {
    if (!encoding.bomEncoding)
        return 1;
    switch (*encoding.bomEncoding) {
    case QStringConverter::Utf16LE:
    case QStringConverter::Utf16BE:
        return 2;
    case QStringConverter::Utf32LE:
    case QStringConverter::Utf32BE:
        return 4;
    default:
        return 1;
    }
}

QString FileErrorText(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot write the error log %1: %2")
        .arg(QDir::toNativeSeparators(path), reason);
}

bool AppendRecord(const QString& path, QString record, QString* errorText) {
    const auto fail = [&](const QString& reason) {
        if (errorText)
            *errorText = FileErrorText(path, reason);
        return false;
    };

    // The record is appended: a failure while writing can cost this record,
    // never the history before it. An existing file keeps its encoding, and a
    // last line without its line end gets one first.
    FileEncoding encoding;
    bool needsLineEnd = false;
    const QFileInfo info(path);
    if (info.exists() && !info.isDir()) {
        QFile existing(path);
        if (!existing.open(QIODevice::ReadOnly))
            return fail(existing.errorString());
        encoding = EncodingFromHead(existing.read(4));
        const qsizetype unit = CodeUnitSize(encoding);
        const qsizetype size = existing.size();
        if (size > encoding.bomLength) {
            if (!existing.seek(size - unit))
                return fail(existing.errorString());
            const QByteArray last = existing.read(unit);
            QString lastChar;
            if (encoding.bomEncoding)
                lastChar = QStringDecoder(*encoding.bomEncoding).decode(last);
            else
                lastChar = QString::fromLatin1(last);
            needsLineEnd = lastChar != u"\n" && lastChar != u"\r";
        }
    }
    if (needsLineEnd)
        record.prepend(QStringLiteral("\r\n"));

    QStringEncoder encoder(encoding.bomEncoding ? *encoding.bomEncoding : QStringConverter::System);
    const QByteArray bytes = encoder.encode(record);

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return fail(file.errorString());
    if (file.write(bytes) != bytes.size() || !file.flush())
        return fail(file.errorString());
    file.close();
    if (file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    return true;
}

} // namespace

LoggedError LoggedErrorFrom(const std::exception& error) {
    if (dynamic_cast<const ESynaSerError*>(&error) != nullptr)
        return {QStringLiteral("ESynaSerError"), QString::fromUtf8(error.what())};
    return {TypeName(error), QString::fromUtf8(error.what())};
}

ErrorLogTarget ErrorLogTarget::Default() {
    const QString name = QStringLiteral("LogError.txt");
    const QString dataFolder =
        QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    return {QDir(QCoreApplication::applicationDirPath()).filePath(name),
            QDateTime::currentDateTime(), QLocale::system(),
            dataFolder.isEmpty() ? QString() : QDir(dataFolder).filePath(name)};
}

QChar LocaleTimeSeparator(const QLocale& locale) {
    return FirstSeparator(locale.timeFormat(QLocale::ShortFormat), u':');
}

QChar LocaleDateSeparator(const QLocale& locale) {
    return FirstSeparator(locale.dateFormat(QLocale::ShortFormat), u'/');
}

QString ErrorLogTime(const QTime& time, const QLocale& locale) {
    int hour = time.hour() % 12;
    if (hour == 0)
        hour = 12; // midnight and noon
    return QStringLiteral("%1%2%3 %4")
        .arg(hour, 2, 10, QChar(u'0'))
        .arg(LocaleTimeSeparator(locale))
        .arg(time.minute(), 2, 10, QChar(u'0'))
        .arg(time.hour() < 12 ? QStringLiteral("am") : QStringLiteral("pm"));
}

QString ErrorLogDate(const QDate& date, const QLocale& locale) {
    const QChar sep = LocaleDateSeparator(locale);
    return QStringLiteral("%1%2%3%2%4")
        .arg(date.month(), 2, 10, QChar(u'0'))
        .arg(sep)
        .arg(date.day(), 2, 10, QChar(u'0'))
        .arg(date.year() % 100, 2, 10, QChar(u'0'));
}

bool WriteErrorLog(const std::optional<LoggedError>& error, const QString& text,
                   QString* errorText) {
    return WriteErrorLog(error, text, ErrorLogTarget::Default(), errorText);
}

bool WriteErrorLog(const std::optional<LoggedError>& error, const QString& text,
                   const ErrorLogTarget& target, QString* errorText) {
    QString record = QStringLiteral("Error Time Stamp: ") +
                     ErrorLogTime(target.now.time(), target.locale) + QStringLiteral(" on ") +
                     ErrorLogDate(target.now.date(), target.locale) + QStringLiteral("\r\n");
    if (error) {
        record += QStringLiteral("Error Class: ") + error->className + QStringLiteral("\r\n");
        record += QStringLiteral("Error Message: ") + error->message + QStringLiteral("\r\n");
    }
    record += QStringLiteral("Error String:  ") + text + QStringLiteral("\r\n");

    QString primaryError;
    if (AppendRecord(target.path, record, &primaryError))
        return true;
    // An installed program's folder is not the user's to write: the record
    // goes to the user's data folder rather than being lost.
    QString fallbackError;
    if (!target.fallbackPath.isEmpty()) {
        QDir().mkpath(QFileInfo(target.fallbackPath).absolutePath());
        if (AppendRecord(target.fallbackPath, record, &fallbackError))
            return true;
    }
    if (errorText) {
        *errorText = primaryError;
        if (!fallbackError.isEmpty())
            *errorText += QStringLiteral("; ") + fallbackError;
    }
    return false;
}
