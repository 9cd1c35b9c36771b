#include "LinkAdvice.h"

#include <cerrno>

QString LinkFailureAdvice(LinkFailureKind kind, const QString& port, int openError) {
    switch (kind) {
    case LinkFailureKind::TimedOut:
        return QStringLiteral("Port %1: the detector did not answer. Check the cable, the power "
                              "and the port.")
            .arg(port);
    case LinkFailureKind::ReceiveFailed:
        return QStringLiteral("Port %1 failed while reading an answer. Check that the adapter is "
                              "still plugged in and the cable, then Connect again.")
            .arg(port);
    case LinkFailureKind::OpenFailed:
        break;
    }
#ifdef _WIN32
    constexpr int NoSuchPort = 2; // ERROR_FILE_NOT_FOUND
    constexpr int PortInUse = 5;  // ERROR_ACCESS_DENIED: Windows opens a port once
    constexpr int NotSerial = -1;
#else
    constexpr int PortInUse = EBUSY;
    constexpr int NotSerial = ENOTTY;
#endif
#ifndef _WIN32
    // Refused access comes with its own line naming the device and the group.
    if (openError == EACCES || openError == EPERM)
        return {};
    if (openError == ENOENT || openError == ENODEV || openError == ENXIO)
#else
    if (openError == NoSuchPort)
#endif
        return QStringLiteral("Port %1 does not exist. Check that the adapter is plugged in and "
                              "choose the detector's port in SetUp COM.")
            .arg(port);
    if (openError == PortInUse)
        return QStringLiteral("Port %1 is in use by another program. Close that program, then "
                              "Connect again.")
            .arg(port);
    if (openError == NotSerial)
        return QStringLiteral("Port %1 is not a serial port. Choose the detector's port in SetUp "
                              "COM.")
            .arg(port);
    return QStringLiteral("Port %1 could not be opened. Check the port chosen in SetUp COM and "
                          "the adapter.")
        .arg(port);
}

void UnusableAnswers::Damaged(const std::uint8_t* frame, int count, int expectedLength) {
    ++m_inARow;
    m_noLiveStatus = false;
    // The tests of the frame's classification, in its order.
    const int len = frame[2];
    if (count != expectedLength || frame[1] != 0x00 || len != expectedLength - 6)
        m_reason = QStringLiteral("wrong length");
    else if (!Command::ReportChecksumOk(frame))
        m_reason = QStringLiteral("bad checksum");
    else if (frame[len + 5] != Command::ETX)
        m_reason = QStringLiteral("bad frame end");
    else
        m_reason = QStringLiteral("report %1 at the wrong length").arg(frame[3]);
}

void UnusableAnswers::Accepted(std::uint8_t requestCode, std::uint8_t reportType) {
    // The request codes name the report they ask for.
    if (reportType == requestCode) {
        Reset();
        return;
    }
    ++m_inARow;
    // Reports that carry no live status are answers the detector may give
    // to that request; nothing is damaged.
    m_noLiveStatus = requestCode == Command::CmdLiveStatus && reportType != Command::ReportConfig &&
                     reportType != Command::ReportEventLog;
    m_reason = QStringLiteral("report %1 instead of %2").arg(reportType).arg(requestCode);
    if (m_noLiveStatus)
        m_reason = QStringLiteral("report %1").arg(reportType);
}

void UnusableAnswers::Reset() {
    m_inARow = 0;
    m_reason.clear();
    m_noLiveStatus = false;
}

QString UnusableAnswers::StatusText() const {
    if (m_inARow < TellAfter)
        return {};
    if (m_noLiveStatus)
        return QStringLiteral("No live status: %1 answers in a row (%2)")
            .arg(m_inARow)
            .arg(m_reason);
    return QStringLiteral("Answers unusable: %1 in a row (%2)").arg(m_inARow).arg(m_reason);
}
