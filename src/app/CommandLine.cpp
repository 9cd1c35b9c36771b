#include "CommandLine.h"

#include "PortIdentity.h"

#include <QCommandLineParser>
#include <QHash>

namespace {

constexpr int MinTimeoutMs = 50;
constexpr int MaxTimeoutMs = 500;
constexpr int MinReportSeconds = 1;
constexpr int MaxReportSeconds = 600;

CommandLine Refuse(const QString& reason, const QCommandLineParser& parser) {
    CommandLine result;
    result.action = CommandLine::Action::Exit;
    result.exitCode = 2;
    result.toStandardError = true;
    result.output = reason + QStringLiteral("\n\n") + parser.helpText();
    return result;
}

} // namespace

CommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Configuration and diagnostics of the triple-technology detector over "
                       "its serial line."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption port(
        QStringLiteral("port"),
        QStringLiteral("Start with <name> chosen as the serial port (e.g. COM1, /dev/ttyUSB0); "
                       "press Connect. With --apply or --diff it may be given several times: "
                       "the ports are served at the same time."),
        QStringLiteral("name"));
    const QCommandLineOption apply(
        QStringLiteral("apply"),
        QStringLiteral("Without a window: write the configuration <file> to the detector, read it "
                       "back and compare it setting by setting."),
        QStringLiteral("file"));
    const QCommandLineOption store(
        QStringLiteral("store"),
        QStringLiteral("With --apply: after an equal read-back, Store To Flash and read back "
                       "once more."));
    const QCommandLineOption diff(
        QStringLiteral("diff"),
        QStringLiteral("Without a window: compare the detector's configuration with <file>; "
                       "writes nothing."),
        QStringLiteral("file"));
    const QCommandLineOption read(
        QStringLiteral("read"),
        QStringLiteral("Without a window: save the detector's configuration to <file> (44 "
                       "bytes). One --port only."),
        QStringLiteral("file"));
    const QCommandLineOption report(
        QStringLiteral("report"),
        QStringLiteral("Without a window: write the detector's commissioning report to <file> "
                       "(PDF): its configuration, event log, live readings and signal graph. "
                       "Writes nothing to the detector. One --port only."),
        QStringLiteral("file"));
    const QCommandLineOption seconds(
        QStringLiteral("seconds"),
        QStringLiteral("With --report: poll live statuses for <n> seconds, %1 to %2 (default "
                       "10); the graph shows them.")
            .arg(MinReportSeconds)
            .arg(MaxReportSeconds),
        QStringLiteral("n"));
    const QCommandLineOption timeout(
        QStringLiteral("timeout"),
        QStringLiteral(
            "With --apply, --diff, --read or --report: receive time-out per wait for answer "
            "bytes, %1 to %2 ms (default 90).")
            .arg(MinTimeoutMs)
            .arg(MaxTimeoutMs),
        QStringLiteral("ms"));
    const QCommandLineOption trace(QStringLiteral("trace"),
                                   QStringLiteral("Append every frame sent and received to "
                                                  "<file> (a regular file, or - for standard "
                                                  "output), one line each."),
                                   QStringLiteral("file"));
    parser.addOption(port);
    parser.addOption(apply);
    parser.addOption(store);
    parser.addOption(diff);
    parser.addOption(read);
    parser.addOption(report);
    parser.addOption(seconds);
    parser.addOption(timeout);
    parser.addOption(trace);
    // The toolkit's own options (-platform offscreen, -style fusion, ...) are
    // taken by the application object; they must not count as unknown here.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const char* name : {"platform", "platformpluginpath", "platformtheme", "plugin", "style",
                             "stylesheet", "session", "qwindowgeometry", "qwindowtitle",
                             "qwindowicon", "display", "geometry", "title", "name"}) {
        QCommandLineOption toolkit(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        toolkit.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(toolkit);
    }
    for (const char* name : {"reverse", "widgetcount", "nograb", "dograb", "sync"}) {
        QCommandLineOption toolkit(QString::fromLatin1(name));
        toolkit.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(toolkit);
    }

    CommandLine result;
    if (!parser.parse(arguments))
        return Refuse(parser.errorText(), parser);
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        result.action = CommandLine::Action::Exit;
        result.output = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.action = CommandLine::Action::Exit;
        result.output = QStringLiteral("detector-config " DCT_VERSION "\n");
        return result;
    }
    if (!parser.positionalArguments().isEmpty())
        return Refuse(QStringLiteral("Unexpected argument '%1'.")
                          .arg(parser.positionalArguments().constFirst()),
                      parser);

    const QStringList ports = parser.values(port);
    for (const QString& name : ports) {
        if (name.trimmed().isEmpty())
            return Refuse(QStringLiteral("--port needs a name."), parser);
    }
    result.port = ports.isEmpty() ? QString() : ports.constLast();
    result.traceFile = parser.value(trace);

    QStringList actions;
    for (const QCommandLineOption* option : {&apply, &diff, &read, &report}) {
        if (parser.isSet(*option))
            actions << QStringLiteral("--") + option->names().constFirst();
    }
    for (const QCommandLineOption* option :
         {&apply, &diff, &read, &report, &seconds, &timeout, &trace}) {
        if (parser.values(*option).size() > 1)
            return Refuse(
                QStringLiteral("--%1 is given more than once.").arg(option->names().constFirst()),
                parser);
    }
    if (actions.size() > 1)
        return Refuse(QStringLiteral("Choose one of --apply, --diff, --read and --report, not %1.")
                          .arg(actions.join(QStringLiteral(" and "))),
                      parser);
    if (parser.isSet(seconds) && !parser.isSet(report))
        return Refuse(QStringLiteral("--seconds goes with --report."), parser);
    if (actions.isEmpty()) {
        if (ports.size() > 1)
            return Refuse(QStringLiteral("Several --port need --apply or --diff."), parser);
        if (parser.isSet(store))
            return Refuse(QStringLiteral("--store goes with --apply."), parser);
        if (parser.isSet(timeout))
            return Refuse(
                QStringLiteral("--timeout goes with --apply, --diff, --read or --report."), parser);
        return result;
    }

    int timeoutMs = ProvisionRequest().timeoutMs;
    if (parser.isSet(timeout)) {
        bool ok = false;
        timeoutMs = parser.value(timeout).toInt(&ok);
        if (!ok || timeoutMs < MinTimeoutMs || timeoutMs > MaxTimeoutMs)
            return Refuse(QStringLiteral("--timeout: '%1' is not a number from %2 to %3.")
                              .arg(parser.value(timeout))
                              .arg(MinTimeoutMs)
                              .arg(MaxTimeoutMs),
                          parser);
    }

    if (parser.isSet(report)) {
        if (ports.size() != 1)
            return Refuse(QStringLiteral("--report takes one --port."), parser);
        if (parser.isSet(store))
            return Refuse(QStringLiteral("--store goes with --apply."), parser);
        ReportRequest request;
        request.port = ports.constFirst();
        request.file = parser.value(report);
        request.timeoutMs = timeoutMs;
        if (parser.isSet(seconds)) {
            bool ok = false;
            request.seconds = parser.value(seconds).toInt(&ok);
            if (!ok || request.seconds < MinReportSeconds || request.seconds > MaxReportSeconds)
                return Refuse(QStringLiteral("--seconds: '%1' is not a number from %2 to %3.")
                                  .arg(parser.value(seconds))
                                  .arg(MinReportSeconds)
                                  .arg(MaxReportSeconds),
                              parser);
        }
        result.report = request;
        return result;
    }

    ProvisionRequest request;
    if (parser.isSet(apply)) {
        request.action = ProvisionRequest::Action::Apply;
        request.file = parser.value(apply);
    } else if (parser.isSet(diff)) {
        request.action = ProvisionRequest::Action::Diff;
        request.file = parser.value(diff);
    } else {
        request.action = ProvisionRequest::Action::Read;
        request.file = parser.value(read);
    }
    if (ports.isEmpty())
        return Refuse(QStringLiteral("%1 needs a --port.").arg(actions.constFirst()), parser);
    // Compared by what they open, so that one port under two names is not
    // served twice (one of the two would only find it busy).
    QHash<QString, QString> seen;
    for (const QString& name : ports) {
        const QString identity = PortIdentity(name);
        if (seen.contains(identity))
            return Refuse(seen.value(identity) == name
                              ? QStringLiteral("A port is given twice: %1.").arg(name)
                              : QStringLiteral("A port is given twice: %1 and %2 are one port.")
                                    .arg(seen.value(identity), name),
                          parser);
        seen.insert(identity, name);
    }
    if (request.action == ProvisionRequest::Action::Read && ports.size() > 1)
        return Refuse(QStringLiteral("--read takes one --port only."), parser);
    if (parser.isSet(store) && request.action != ProvisionRequest::Action::Apply)
        return Refuse(QStringLiteral("--store goes with --apply."), parser);
    if (parser.isSet(trace) && ports.size() > 1)
        return Refuse(QStringLiteral("--trace takes one --port only."), parser);
    request.timeoutMs = timeoutMs;
    request.store = parser.isSet(store);
    request.ports = ports;
    result.provision = request;
    return result;
}
