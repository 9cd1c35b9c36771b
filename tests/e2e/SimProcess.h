#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// One channel of the detector's configuration as the simulator prints it.
struct SimChannel {
    int TRange = 0;
    int Tconv = 0;
    int Nconv = 0;
    int NPulse = 0;
    bool operator==(const SimChannel&) const = default;
};

struct SimOutput {
    QString Function; // "AND", "OR", "AUTO-OR", "MASK", "AUTO-TEST"
    int TimeAndMs = 0;
    int Flags = 0;
    bool operator==(const SimOutput&) const = default;
};

// The configuration the detector holds, read from the simulator's own words
// ("configuration written: ..." or the reply to "status").
struct SimSettings {
    SimChannel Mw, Pir1, Pir2;
    int PwmDc = 0;
    int PwmFq = 0;
    int Flags = 0;
    std::array<SimOutput, 3> Outputs;
    bool operator==(const SimSettings&) const = default;
};

// The last configuration described in `text`, if any.
std::optional<SimSettings> ParseSimSettings(const QString& text);
QString DescribeSimSettings(const SimSettings& s);

// The virtual detector as a child process with its own port name and flash
// file. Its output is collected while the event loop runs, so the program's
// timers keep ticking while a test waits for a line. The process is always
// ended with SIGTERM (and killed if that does not end it) when this object
// goes, also when a test fails halfway.
class SimProcess {
public:
    explicit SimProcess(const QString& folder);
    ~SimProcess();

    bool Start(const QStringList& extraArgs = {});
    void Stop();

    // Waits, running the event loop, until `text` appears in output not yet
    // consumed by an earlier wait; consumes up to its end.
    bool WaitFor(const QString& text, int ms = 3000);
    // Occurrences of `text` in the output that has not been consumed yet.
    int CountUnread(const QString& text);
    // Sends one control line and waits for its reply, which must start with
    // `reply`.
    bool Command(const QString& line, const QString& reply);
    // The reply to "status" (empty if none came), and the two things read
    // from it: what the detector holds now, and how many requests it has
    // seen since its fault mode was last set (-1 if unknown).
    QString Status();
    std::optional<SimSettings> Settings();
    int RequestsInMode();
    // The next configuration write the detector reports having received.
    std::optional<SimSettings> NextWrite(int ms = 3000);

    QString LinkPath() const { return m_link; }
    QString StatePath() const { return m_state; }
    QByteArray Output();
    qint64 Pid() const { return m_proc.processId(); }

private:
    void Collect();

    QString m_link;
    QString m_state;
    QProcess m_proc;
    QByteArray m_out;
    qsizetype m_cursor = 0;
};
