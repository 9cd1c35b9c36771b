#include "SimProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>

#include <csignal>
#ifdef __linux__
#include <sys/prctl.h>
#endif

SimProcess::SimProcess(const QString& folder)
    : m_link(QDir(folder).filePath("ttyVD0")), m_state(QDir(folder).filePath("flash/config.bin")) {
    m_proc.setProgram(QCoreApplication::applicationDirPath() + "/detector-sim");
    // Its complaints belong in the test's log, not in the text searched here.
    m_proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
#ifdef __linux__
    // A test run killed from outside (a time-out of the runner) must not
    // leave the simulator behind: it gets SIGTERM when this process goes.
    m_proc.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
}

SimProcess::~SimProcess() {
    Stop();
}

bool SimProcess::Start(const QStringList& extraArgs) {
    // No walk-throughs of its own and a fixed seed: the scene stays quiet and
    // the same from run to run unless a test asks for more. A replay has no
    // scene: the recording decides everything.
    QStringList args{"--link", m_link};
    if (!extraArgs.contains("--replay"))
        args << "--state" << m_state << "--walk-every"
             << "0"
             << "--seed"
             << "7";
    m_proc.setArguments(args + extraArgs);
    m_proc.start();
    return m_proc.waitForStarted(5000) && WaitFor("detector-sim: port ", 10000);
}

void SimProcess::Stop() {
    if (m_proc.state() == QProcess::NotRunning)
        return;
    m_proc.terminate(); // SIGTERM: it removes its port name and ends
    if (!m_proc.waitForFinished(3000)) {
        m_proc.kill();
        m_proc.waitForFinished(3000);
    }
}

void SimProcess::Collect() {
    m_out += m_proc.readAllStandardOutput();
}

QByteArray SimProcess::Output() {
    Collect();
    return m_out;
}

bool SimProcess::WaitFor(const QString& text, int ms) {
    const QByteArray wanted = text.toUtf8();
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        Collect();
        const qsizetype at = m_out.indexOf(wanted, m_cursor);
        if (at >= 0) {
            m_cursor = at + wanted.size();
            return true;
        }
        if (timer.elapsed() > ms || m_proc.state() == QProcess::NotRunning)
            return false;
        QTest::qWait(5);
    }
}

int SimProcess::CountUnread(const QString& text) {
    Collect();
    return static_cast<int>(m_out.mid(m_cursor).count(text.toUtf8()));
}

bool SimProcess::Command(const QString& line, const QString& reply) {
    m_proc.write((line + "\n").toUtf8());
    return WaitFor("detector-sim: " + reply);
}

QString SimProcess::Status() {
    if (!Command("status", "ok fault") || !WaitFor("\n"))
        return {};
    const qsizetype start = m_out.lastIndexOf("detector-sim: ok fault", m_cursor);
    return QString::fromUtf8(m_out.mid(start, m_cursor - start));
}

std::optional<SimSettings> SimProcess::Settings() {
    return ParseSimSettings(Status());
}

int SimProcess::RequestsInMode() {
    static const QRegularExpression count(R"(, (\d+) requests in this mode)");
    const QRegularExpressionMatch m = count.match(Status());
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

std::optional<SimSettings> SimProcess::NextWrite(int ms) {
    if (!WaitFor("detector-sim: configuration written: ", ms) || !WaitFor("\n"))
        return std::nullopt;
    const qsizetype start = m_out.lastIndexOf("detector-sim: configuration written: ", m_cursor);
    return ParseSimSettings(QString::fromUtf8(m_out.mid(start, m_cursor - start)));
}

std::optional<SimSettings> ParseSimSettings(const QString& text) {
    static const QRegularExpression description(
        R"(MW (\d+)/(\d+)/(\d+)/(\d+) PIR1 (\d+)/(\d+)/(\d+)/(\d+) PIR2 (\d+)/(\d+)/(\d+)/(\d+) )"
        R"(PWM (\d+)/(\d+) flags 0x([0-9A-Fa-f]+) out1 (\S+) (\d+)ms 0x([0-9A-Fa-f]+) )"
        R"(out2 (\S+) (\d+)ms 0x([0-9A-Fa-f]+) out3 (\S+) (\d+)ms 0x([0-9A-Fa-f]+))");
    std::optional<QRegularExpressionMatch> last;
    for (auto it = description.globalMatch(text); it.hasNext();)
        last = it.next();
    if (!last)
        return std::nullopt;
    const auto n = [&](int i, int base = 10) { return last->captured(i).toInt(nullptr, base); };
    SimSettings s;
    SimChannel* channels[] = {&s.Mw, &s.Pir1, &s.Pir2};
    for (int c = 0; c < 3; ++c)
        *channels[c] = {n(1 + 4 * c), n(2 + 4 * c), n(3 + 4 * c), n(4 + 4 * c)};
    s.PwmDc = n(13);
    s.PwmFq = n(14);
    s.Flags = n(15, 16);
    for (int o = 0; o < 3; ++o)
        s.Outputs[o] = {last->captured(16 + 3 * o), n(17 + 3 * o), n(18 + 3 * o, 16)};
    return s;
}

QString DescribeSimSettings(const SimSettings& s) {
    const auto ch = [](const SimChannel& c) {
        return QStringLiteral("%1/%2/%3/%4").arg(c.TRange).arg(c.Tconv).arg(c.Nconv).arg(c.NPulse);
    };
    QString text = QStringLiteral("MW %1 PIR1 %2 PIR2 %3 PWM %4/%5 flags 0x%6")
                       .arg(ch(s.Mw), ch(s.Pir1), ch(s.Pir2))
                       .arg(s.PwmDc)
                       .arg(s.PwmFq)
                       .arg(QString::number(s.Flags, 16).toUpper().rightJustified(4, '0'));
    for (int o = 0; o < 3; ++o)
        text += QStringLiteral(" out%1 %2 %3ms 0x%4")
                    .arg(o + 1)
                    .arg(s.Outputs[o].Function)
                    .arg(s.Outputs[o].TimeAndMs)
                    .arg(QString::number(s.Outputs[o].Flags, 16).toUpper().rightJustified(2, '0'));
    return text;
}
