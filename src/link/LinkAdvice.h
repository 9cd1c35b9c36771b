#pragma once

#include "Command.h"

#include <QString>

#include <cstdint>

// What the window tells the user about a link failure and about answers that
// keep coming unusable. Plain text, no widgets.

// The second line of a failure message: the port, and what to check next.
// `openError` is the system's error code of a failed open (0 for the other
// failures).
enum class LinkFailureKind { OpenFailed, TimedOut, ReceiveFailed };
QString LinkFailureAdvice(LinkFailureKind kind, const QString& port, int openError = 0);

// Counts answers in a row that the request cannot use: damaged frames, and
// accepted reports of another type than asked for. Six in a row are told;
// the next usable answer ends it.
class UnusableAnswers {
public:
    static constexpr int TellAfter = 6;

    // An answer of `count` bytes to a request that expected `expectedLength`,
    // dropped as malformed.
    void Damaged(const std::uint8_t* frame, int count, int expectedLength);
    // An accepted report of `reportType` to the request `requestCode`.
    void Accepted(std::uint8_t requestCode, std::uint8_t reportType);
    void Reset();

    int InARow() const { return m_inARow; }
    // The status text to show, empty while fewer than six in a row.
    QString StatusText() const;

private:
    int m_inARow = 0;
    QString m_reason;
    bool m_noLiveStatus = false;
};
