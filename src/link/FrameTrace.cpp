#include "FrameTrace.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace {

// The flag word of a configuration write, high byte, where the request to
// store the configuration in flash rides.
constexpr int StoreFlagByte = 24;
constexpr std::uint8_t StoreFlagBit = 0x40;

QString Hex(const std::uint8_t* bytes, int count) {
    QString text;
    text.reserve(count * 3);
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            text += QLatin1Char(' ');
        text += QStringLiteral("%1").arg(bytes[i], 2, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

} // namespace

QString DescribeFrame(const FrameEvent& event) {
    switch (event.kind) {
    case FrameEvent::RequestSent:
        return QStringLiteral("request ") + Hex(event.bytes + 3, event.count > 3 ? 1 : 0);
    case FrameEvent::WriteSent:
        return event.count > StoreFlagByte && (event.bytes[StoreFlagByte] & StoreFlagBit)
                   ? QStringLiteral("store write")
                   : QStringLiteral("write");
    case FrameEvent::Received:
        switch (event.frameClass) {
        case Command::FrameClass::Accepted:
            return QStringLiteral("report %1").arg(event.bytes[3]);
        case Command::FrameClass::Malformed:
            return QStringLiteral("malformed");
        case Command::FrameClass::NoAnswer:
            return QStringLiteral("no answer (%1 bytes)").arg(event.count);
        }
    }
    return {};
}

QString TraceLine(const FrameEvent& event, const QDateTime& when) {
    const QString direction =
        event.kind == FrameEvent::Received ? QStringLiteral("rx") : QStringLiteral("tx");
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + QLatin1Char('\t') +
           direction + QLatin1Char('\t') + DescribeFrame(event) + QLatin1Char('\t') +
           Hex(event.bytes, event.count);
}

QString FrameTrace::Open(const QString& path) {
    if (path == QLatin1String("-"))
        return OpenStandardOutput();
    m_name = QDir::toNativeSeparators(path);
    // A FIFO would hang the start until a reader comes, and a device or a
    // folder is no place for a trace: only regular files are taken.
    const QFileInfo target(path);
    if (target.exists() && !target.isFile())
        return QStringLiteral("Cannot open the trace file \"%1\". It is not a regular file.")
            .arg(m_name);
    m_file.setFileName(path);
    // Unbuffered: a line is on disk when the frame has gone, and a full disk
    // shows at the write that failed.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return QStringLiteral("Cannot open the trace file \"%1\". %2")
            .arg(m_name, m_file.errorString());
    return {};
}

QString FrameTrace::OpenStandardOutput() {
    m_name = QStringLiteral("standard output");
    const int fd = fileno(stdout);
#ifdef Q_OS_UNIX
    // A reader that stalls must not hold up the poll: on a pipe a write that
    // would block fails instead, and ends the trace. A terminal or a file is
    // left as it is, since the shell shares it.
    struct stat info {};
    if (fstat(fd, &info) == 0 && (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)))
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
#endif
    if (!m_file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                     QFileDevice::DontCloseHandle))
        return QStringLiteral("Cannot open the trace file \"%1\". %2")
            .arg(m_name, m_file.errorString());
    return {};
}

void FrameTrace::Record(const FrameEvent& event) {
    if (!m_file.isOpen())
        return;
    const QByteArray line = (TraceLine(event, QDateTime::currentDateTime()) + '\n').toUtf8();
    if (m_file.write(line) == line.size())
        return;
    const QString text =
        QStringLiteral("Trace stopped: cannot write \"%1\". %2").arg(m_name, m_file.errorString());
    m_file.close();
    if (ReportFailure)
        ReportFailure(text);
}
