#include "PortJob.h"

#include "ConfigFile.h"
#include "ConfigReport.h"
#include "ConfigSettings.h"
#include "ConsoleOutput.h"
#include "DetectorSession.h"

namespace {

// One port's job, with the port's name on every line it adds.
class Job {
public:
    Job(const ProvisionRequest& request, const DetectorConfig& file, DetectorSession& session,
        ConsoleOutput& out)
        : m_request(request), m_file(file), m_session(session), m_out(out) {}

    PortResult Run() {
        if (!m_session.Connect())
            return Stopped();
        DetectorConfig detector;
        if (!Read(detector))
            return Stopped();
        switch (m_request.action) {
        case ProvisionRequest::Action::Diff:
            return Compared(detector, QStringLiteral("equal"));
        case ProvisionRequest::Action::Read:
            return Saved(detector);
        case ProvisionRequest::Action::Apply:
            break;
        }
        // What loading the file in the window writes, read back on purpose.
        if (!Write(LoadedConfigWriteFrame(m_file)) || !Read(detector))
            return Stopped();
        if (!m_request.store)
            return Compared(detector, QStringLiteral("applied and verified"));
        if (!CompareSettings(detector, m_file).isEmpty())
            return Compared(detector, QString());
        // Store To Flash as the window sends it: the shown configuration with
        // the store bit, then read back once more.
        if (!Write(LoadedConfigWriteFrame(detector, FlagStoreToFlash)))
            return Stopped();
        m_storeSent = true;
        if (!Read(detector))
            return Stopped();
        return Compared(detector, QStringLiteral("applied, verified and stored"));
    }

private:
    void Add(const QString& text) {
        m_result.lines << m_session.PortName() + QStringLiteral(": ") + text;
    }

    bool Write(const Command::ConfigWriteFrame& frame) {
        if (!m_session.WriteConfiguration(frame))
            return false;
        m_written = true;
        return true;
    }

    bool Read(DetectorConfig& config) {
        DetectorSession::ConfigPayload payload;
        if (!m_session.ReadConfiguration(payload))
            return false;
        config = DetectorConfig{};
        UnpackConfigReport(config, payload.data());
        return true;
    }

    // The differences one line each, then the result: `equal` when none.
    PortResult Compared(const DetectorConfig& detector, const QString& equal) {
        const QList<SettingDifference> differences = CompareSettings(detector, m_file);
        for (const SettingDifference& d : differences)
            Add(QStringLiteral("%1: detector %2, file %3").arg(d.setting, d.first, d.second));
        if (differences.isEmpty()) {
            Add(equal);
            m_result.status = ExitStatus::Done;
        } else {
            const QString count = differences.size() == 1
                                      ? QStringLiteral("1 setting")
                                      : QStringLiteral("%1 settings").arg(differences.size());
            if (m_request.action != ProvisionRequest::Action::Apply)
                Add(QStringLiteral("differs (%1)").arg(count));
            else if (m_storeSent)
                Add(QStringLiteral("differs after writing and storing (%1): the store was sent; "
                                   "the detector runs the settings read back")
                        .arg(count));
            else if (m_request.store)
                Add(QStringLiteral("differs after writing (%1): the detector runs the settings "
                                   "read back, not stored")
                        .arg(count));
            else
                Add(QStringLiteral("differs after writing (%1)").arg(count));
            m_result.status = ExitStatus::Differs;
        }
        return m_result;
    }

    PortResult Saved(const DetectorConfig& detector) {
        const FileError error = WriteConfigFile(m_request.file, detector);
        if (!error.isEmpty()) {
            Add(QStringLiteral("failed: ") + error);
            m_result.status = ExitStatus::FileError;
        } else {
            Add(QStringLiteral("read into %1").arg(m_request.file));
            m_result.status = ExitStatus::Done;
        }
        return m_result;
    }

    // A link failure, or a stop asked for by a signal: either way the line
    // says what the detector runs now once something was written to it.
    PortResult Stopped() {
        if (m_session.Interrupted()) {
            if (!m_written)
                Add(QStringLiteral("interrupted, nothing written"));
            else if (!m_storeSent)
                Add(QStringLiteral("interrupted after writing: the detector runs the file's "
                                   "settings, not stored"));
            else
                Add(QStringLiteral("interrupted after sending the store, before its read-back: "
                                   "the detector runs the file's settings, not stored for "
                                   "certain"));
            m_result.status = ExitStatus::Done;
            return m_result;
        }
        const LinkFailure& failure = m_session.Failure();
        m_out.Log(failure);
        QString line = QStringLiteral("failed: ") + OneLine(failure.message);
        if (m_written)
            line += m_storeSent ? QStringLiteral("; after sending the store, before its "
                                                 "read-back: not stored for certain")
                                : QStringLiteral("; after writing: the detector may run the "
                                                 "file's settings, not stored");
        Add(line);
        m_result.status = ExitStatus::LinkFailure;
        return m_result;
    }

    const ProvisionRequest& m_request;
    const DetectorConfig& m_file;
    DetectorSession& m_session;
    ConsoleOutput& m_out;
    PortResult m_result;
    bool m_written = false;   // a configuration write went out
    bool m_storeSent = false; // ... and it was the store
};

} // namespace

PortResult ServePort(const ProvisionRequest& request, const DetectorConfig& file,
                     DetectorSession& session, ConsoleOutput& out) {
    PortResult result = Job(request, file, session, out).Run();
    session.Close();
    return result;
}
