#include "ConsoleOutput.h"

#include "DetectorSession.h"

namespace {

void Write(std::FILE* to, const QStringList& lines) {
    for (const QString& line : lines) {
        std::fputs(line.toLocal8Bit().constData(), to);
        std::fputc('\n', to);
    }
    std::fflush(to);
}

} // namespace

QString OneLine(const QString& message) {
    QString line;
    for (const QString& part : message.split(u'\n', Qt::SkipEmptyParts)) {
        const QString text = part.simplified();
        if (text.isEmpty())
            continue;
        if (!line.isEmpty())
            line += line.endsWith(u'.') ? QStringLiteral(" ") : QStringLiteral(". ");
        line += text;
    }
    return line;
}

void ConsoleOutput::Print(const QStringList& lines) {
    const std::lock_guard lock(m_lock);
    Write(m_out, lines);
}

void ConsoleOutput::PrintError(const QStringList& lines) {
    const std::lock_guard lock(m_lock);
    Write(m_err, lines);
}

void ConsoleOutput::Log(const LinkFailure& failure) {
    const std::lock_guard lock(m_lock);
    QString problem;
    if (!LogLinkFailure(failure, &problem))
        Write(m_err, {QStringLiteral("detector-config: ") + problem});
}
