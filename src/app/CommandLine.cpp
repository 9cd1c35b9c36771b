#include "CommandLine.h"

#include "PortIdentity.h"

#include <QCommandLineParser>
#include <QHash>

namespace {

constexpr int MinTimeoutMs = 50;
constexpr int MaxTimeoutMs = 500;
constexpr int MinReportSeconds = 1;
constexpr int MaxReportSeconds = 600;
constexpr int MinWalkSeconds = 1;
constexpr int MaxWalkSeconds = 3600;

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
        QStringLiteral(
            "Without a window: write the detector's commissioning report to <file> "
            "(PDF): its configuration, event log, live readings, walk test and signal graph. "
            "Writes nothing to the detector. One --port only."),
        QStringLiteral("file"));
    const QCommandLineOption seconds(
        QStringLiteral("seconds"),
        QStringLiteral("With --report: poll live statuses for <n> seconds, %1 to %2 (default "
                       "10); the graph and the walk test show them.")
            .arg(MinReportSeconds)
            .arg(MaxReportSeconds),
        QStringLiteral("n"));
    const QCommandLineOption walkTest(
        QStringLiteral("walk-test"),
        QStringLiteral("Without a window: poll the detector's live statuses for <seconds>, %1 to "
                       "%2, and print every detection, alarm, tamper and fault as it ends, then "
                       "the count per name. Writes nothing to the detector. One --port only.")
            .arg(MinWalkSeconds)
            .arg(MaxWalkSeconds),
        QStringLiteral("seconds"));
    const QCommandLineOption csv(
        QStringLiteral("csv"),
        QStringLiteral("With --walk-test: also write the events to <file> (CSV, UTF-8)."),
        QStringLiteral("file"));
    const QCommandLineOption timeout(
        QStringLiteral("timeout"),
        QStringLiteral("With --apply, --diff, --read, --report or --walk-test: receive time-out "
                       "per wait for answer "
                       "bytes, %1 to %2 ms (default 90).")
            .arg(MinTimeoutMs)
            .arg(MaxTimeoutMs),
        QStringLiteral("ms"));
    const QCommandLineOption trace(QStringLiteral("trace"),
                                   QStringLiteral("Append every frame sent and received to "
                                                  "<file> (a regular file, or - for standard "
                                                  "output), one line each."),
                                   QStringLiteral("file"));
    const QCommandLineOption siteBook(
        QStringLiteral("site-book"),
        QStringLiteral("Keep the record of visits in the database file <location>, or on the "
                       "PostgreSQL server postgresql://USER@HOST[:PORT]/DBNAME[?...], instead "
                       "of site-book.sqlite in the user's data folder (also: the variable "
                       "DETECTOR_CONFIG_SITE_BOOK)."),
        QStringLiteral("location"));
    const QCommandLineOption site(QStringLiteral("site"),
                                  QStringLiteral("The name of the site, recorded with the visit."),
                                  QStringLiteral("name"));
    const QCommandLineOption detector(
        QStringLiteral("detector"),
        QStringLiteral("The name of the detector, recorded with the visit; with several "
                       "--port, the n-th --detector names the n-th port."),
        QStringLiteral("name"));
    const QCommandLineOption history(
        QStringLiteral("history"),
        QStringLiteral("Print the visits in the site book, newest first, one JSON object per "
                       "line (only those of --site and --detector when given)."));
    const QCommandLineOption check(
        QStringLiteral("check"),
        QStringLiteral("Without a window: compare the detector with what the latest visit of "
                       "--site and --detector left; writes nothing."));
    const QCommandLineOption restore(
        QStringLiteral("restore"),
        QStringLiteral("Without a window: apply, verify and store what the latest visit of "
                       "--site and --detector that stored left, as --apply --store does."));
    const QCommandLineOption sync(
        QStringLiteral("sync"),
        QStringLiteral("Send the visits kept on this computer while the server of --site-book "
                       "postgresql://... was out of reach, and do nothing else."));
    parser.addOption(port);
    parser.addOption(siteBook);
    parser.addOption(sync);
    parser.addOption(site);
    parser.addOption(detector);
    parser.addOption(history);
    parser.addOption(check);
    parser.addOption(restore);
    parser.addOption(apply);
    parser.addOption(store);
    parser.addOption(diff);
    parser.addOption(read);
    parser.addOption(report);
    parser.addOption(seconds);
    parser.addOption(walkTest);
    parser.addOption(csv);
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
    for (const char* name : {"reverse", "widgetcount", "nograb", "dograb"}) {
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
    result.siteBook = parser.value(siteBook);
    result.site = parser.value(site);
    const QStringList detectors = parser.values(detector);
    result.detector = detectors.isEmpty() ? QString() : detectors.constFirst();

    if (parser.isSet(sync)) {
        for (const QString& name : parser.optionNames()) {
            if (name != QLatin1String("sync") && name != QLatin1String("site-book"))
                return Refuse(
                    QStringLiteral("--sync goes with --site-book alone, not with --%1.").arg(name),
                    parser);
        }
        const QString book =
            parser.isSet(siteBook) ? result.siteBook : qEnvironmentVariable(SiteBookVariable);
        if (!book.startsWith(QStringLiteral("postgres"), Qt::CaseInsensitive))
            return Refuse(QStringLiteral("--sync sends the visits kept on this computer to a "
                                         "server: give --site-book postgresql://..."),
                          parser);
        result.sync = true;
        return result;
    }

    QStringList actions;
    for (const QCommandLineOption* option :
         {&apply, &diff, &read, &report, &walkTest, &history, &check, &restore}) {
        if (parser.isSet(*option))
            actions << QStringLiteral("--") + option->names().constFirst();
    }
    for (const QCommandLineOption* option : {&apply, &diff, &read, &report, &seconds, &timeout,
                                             &trace, &walkTest, &csv, &siteBook, &site}) {
        if (parser.values(*option).size() > 1)
            return Refuse(
                QStringLiteral("--%1 is given more than once.").arg(option->names().constFirst()),
                parser);
    }
    if (actions.size() > 1)
        return Refuse(QStringLiteral("Choose one of --apply, --diff, --read, --report, "
                                     "--walk-test, --history, --check and --restore, not %1.")
                          .arg(actions.join(QStringLiteral(" and "))),
                      parser);
    if (parser.isSet(seconds) && !parser.isSet(report))
        return Refuse(QStringLiteral("--seconds goes with --report."), parser);
    if (parser.isSet(csv) && !parser.isSet(walkTest))
        return Refuse(QStringLiteral("--csv goes with --walk-test."), parser);
    if (parser.isSet(history)) {
        for (const QCommandLineOption* option : {&port, &store, &timeout, &trace, &seconds}) {
            if (parser.isSet(*option))
                return Refuse(QStringLiteral("--%1 does not go with --history.")
                                  .arg(option->names().constFirst()),
                              parser);
        }
        if (detectors.size() > 1)
            return Refuse(QStringLiteral("--history takes one --detector."), parser);
        HistoryRequest request;
        request.site = result.site;
        request.detector = result.detector;
        result.history = request;
        return result;
    }
    if (detectors.size() > std::max<qsizetype>(ports.size(), 1))
        return Refuse(QStringLiteral("More --detector than --port: the n-th --detector names "
                                     "the n-th --port."),
                      parser);
    if (actions.isEmpty()) {
        if (ports.size() > 1)
            return Refuse(QStringLiteral("Several --port need --apply or --diff."), parser);
        if (parser.isSet(store))
            return Refuse(QStringLiteral("--store goes with --apply."), parser);
        if (parser.isSet(timeout))
            return Refuse(
                QStringLiteral(
                    "--timeout goes with --apply, --diff, --read, --report or --walk-test."),
                parser);
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
        request.site = result.site;
        request.detector = result.detector;
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

    if (parser.isSet(walkTest)) {
        if (ports.size() != 1)
            return Refuse(QStringLiteral("--walk-test takes one --port."), parser);
        if (parser.isSet(store))
            return Refuse(QStringLiteral("--store goes with --apply."), parser);
        WalkTestRequest request;
        request.site = result.site;
        request.detector = result.detector;
        request.port = ports.constFirst();
        request.csvFile = parser.value(csv);
        request.timeoutMs = timeoutMs;
        bool ok = false;
        request.seconds = parser.value(walkTest).toInt(&ok);
        if (!ok || request.seconds < MinWalkSeconds || request.seconds > MaxWalkSeconds)
            return Refuse(QStringLiteral("--walk-test: '%1' is not a number of seconds from %2 "
                                         "to %3.")
                              .arg(parser.value(walkTest))
                              .arg(MinWalkSeconds)
                              .arg(MaxWalkSeconds),
                          parser);
        result.walkTest = request;
        return result;
    }

    ProvisionRequest request;
    if (parser.isSet(apply)) {
        request.action = ProvisionRequest::Action::Apply;
        request.file = parser.value(apply);
    } else if (parser.isSet(diff)) {
        request.action = ProvisionRequest::Action::Diff;
        request.file = parser.value(diff);
    } else if (parser.isSet(check) || parser.isSet(restore)) {
        request.action = parser.isSet(check) ? ProvisionRequest::Action::Check
                                             : ProvisionRequest::Action::Restore;
        // Each port's detector is looked up by its name.
        if (!ports.isEmpty() && detectors.size() != ports.size())
            return Refuse(
                QStringLiteral("%1 needs a --detector for each --port.").arg(actions.constFirst()),
                parser);
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
    request.site = result.site;
    request.detectors = detectors;
    result.provision = request;
    return result;
}
