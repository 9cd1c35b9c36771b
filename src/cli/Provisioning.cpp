#include "Provisioning.h"

#include "ConfigFile.h"
#include "ConfigSettings.h"
#include "ConsoleOutput.h"
#include "DetectorSession.h"
#include "FrameTrace.h"
#include "Interruption.h"
#include "PortJob.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <mutex>
#include <thread>
#include <vector>

namespace {

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// The file to apply or compare: exactly one record, nothing more or less.
// The window takes the first 44 bytes of a longer file; a script is better
// told that the file is not what it thinks.
FileError LoadConfiguration(const QString& path, DetectorConfig& config) {
    const QFileInfo info(path);
    if (info.isFile() && info.size() != DetectorConfig::Size)
        return QStringLiteral("File \"%1\" holds %2; a configuration file holds %3 bytes.")
            .arg(Native(path), info.size() == 1 ? QStringLiteral("1 byte")
                                                : QStringLiteral("%1 bytes").arg(info.size()))
            .arg(DetectorConfig::Size);
    return ReadConfigFile(path, config);
}

// What --read will write to: refused before any port is opened when it can
// never be a configuration file.
FileError CheckTarget(const QString& path) {
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return QStringLiteral("Cannot create file \"%1\". It is not a regular file.")
            .arg(Native(path));
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir())
        return QStringLiteral("Cannot create file \"%1\". Its folder does not exist.")
            .arg(Native(path));
    if (info.exists() ? !info.isWritable() : !folder.isWritable())
        return QStringLiteral("Cannot create file \"%1\". Permission denied.").arg(Native(path));
    return {};
}

// Checks the file before any port is touched. False after printing why.
bool PrepareFile(const ProvisionRequest& request, DetectorConfig& file, ConsoleOutput& out) {
    if (request.action == ProvisionRequest::Action::Read) {
        const FileError error = CheckTarget(request.file);
        if (!error.isEmpty())
            out.PrintError({QStringLiteral("detector-config: ") + error});
        return error.isEmpty();
    }
    const FileError error = LoadConfiguration(request.file, file);
    if (!error.isEmpty()) {
        out.PrintError({QStringLiteral("detector-config: ") + error});
        return false;
    }
    if (request.action != ProvisionRequest::Action::Apply)
        return true;
    // The detector gets exactly what the file says, or nothing.
    const QList<RefusedSetting> refused = SettingsTheControlsWouldChange(file);
    if (refused.isEmpty())
        return true;
    QStringList lines;
    const QString name = Native(request.file);
    for (const QString& line : DescribeRefusals(refused).split(u'\n'))
        lines << name + QStringLiteral(": ") + line;
    lines << QStringLiteral("%1: refused: the window's controls would change %2; nothing was "
                            "written")
                 .arg(name, refused.size() == 1
                                ? QStringLiteral("1 setting")
                                : QStringLiteral("%1 settings").arg(refused.size()));
    out.PrintError(lines);
    return false;
}

} // namespace

int RunProvisioning(const ProvisionRequest& request, ConsoleOutput& out, FrameTrace* trace) {
    DetectorConfig file;
    if (!PrepareFile(request, file, out))
        return ExitStatus::FileError;

    // A thread per port: each exchange blocks until its answer is in, so
    // ports served from one thread would wait for one another.
    std::mutex worstLock;
    int worst = ExitStatus::Done;
    std::vector<std::thread> threads;
    threads.reserve(static_cast<std::size_t>(request.ports.size()));
    for (const QString& port : request.ports) {
        threads.emplace_back([&, port] {
            DetectorSession session(port, request.timeoutMs);
            session.StopRequested = Interruption::StopCheck();
            if (trace)
                session.Engine().FrameObserver = [trace](const FrameEvent& event) {
                    trace->Record(event);
                };
            const PortResult result = ServePort(request, file, session, out);
            out.Print(result.lines);
            const std::lock_guard lock(worstLock);
            worst = std::max(worst, result.status);
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    return worst;
}
