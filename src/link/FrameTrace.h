#pragma once

#include "FrameEvent.h"

#include <QDateTime>
#include <QFile>
#include <QString>

#include <functional>

// What a frame is, in the words of a trace line: "request 08", "write",
// "store write", "report 8", "malformed", "no answer (12 bytes)".
QString DescribeFrame(const FrameEvent& event);

// One trace line, without its end: local time with milliseconds, direction,
// what the frame is and its bytes in upper-case hex, separated by tabs.
QString TraceLine(const FrameEvent& event, const QDateTime& when);

// Appends one line per frame to a file chosen on the command line. A failed
// write is reported once and ends the trace; it never stops the link.
class FrameTrace {
public:
    // Opens `path` for appending, or standard output for "-"; an error text
    // when it cannot, or when `path` exists and is not a regular file.
    QString Open(const QString& path);
    void Record(const FrameEvent& event);
    // Told of the first failed write, with a text for the user.
    std::function<void(const QString&)> ReportFailure;

private:
    QString OpenStandardOutput();

    QFile m_file;
    QString m_name; // as the user's messages name it
};
