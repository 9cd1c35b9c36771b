#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <exception>
#include <optional>

// The link's error log: "LogError.txt" beside the program, one record of two
// or four CR LF lines per failure, appended, never rewritten. Where the
// program's folder cannot be written (an installed program), the record goes
// to the same file name in the user's data folder instead.

// The error object of a record: its class name and its message.
struct LoggedError {
    QString className;
    QString message;
};

// "ESynaSerError" for the port's errors, the exception's own type otherwise;
// the message is what() in either case.
LoggedError LoggedErrorFrom(const std::exception& error);

// Where a record goes and when and how it is stamped. The defaults are the
// program's folder (else the user's data folder), the clock and the user's
// locale; tests put in their own.
struct ErrorLogTarget {
    QString path;
    QDateTime now;
    QLocale locale;
    // Tried when `path` cannot be written; its folder is made when missing.
    // Empty: no second place.
    QString fallbackPath{};

    static ErrorLogTarget Default();
};

// Appends one record. Never throws: on failure returns false and, when
// `errorText` is given, puts there a text the caller can show the user.
bool WriteErrorLog(const std::optional<LoggedError>& error, const QString& text,
                   QString* errorText = nullptr);
bool WriteErrorLog(const std::optional<LoggedError>& error, const QString& text,
                   const ErrorLogTarget& target, QString* errorText = nullptr);

// Pieces of the time stamp line, exposed for the formatting rules:
// "hh:nn am/pm" and "mm/dd/yy" with the locale's separators.
QString ErrorLogTime(const QTime& time, const QLocale& locale);
QString ErrorLogDate(const QDate& date, const QLocale& locale);
QChar LocaleTimeSeparator(const QLocale& locale);
QChar LocaleDateSeparator(const QLocale& locale);
