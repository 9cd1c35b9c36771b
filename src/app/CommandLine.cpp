#include "CommandLine.h"

#include <QCommandLineParser>

CommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Configuration and diagnostics of the triple-technology detector over "
                       "its serial line."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Start with <name> chosen as the serial port "
                                                 "(e.g. COM1, /dev/ttyUSB0); press Connect."),
                                  QStringLiteral("name"));
    const QCommandLineOption trace(QStringLiteral("trace"),
                                   QStringLiteral("Append every frame sent and received to "
                                                  "<file> (a regular file, or - for standard "
                                                  "output), one line each."),
                                   QStringLiteral("file"));
    parser.addOption(port);
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
    if (!parser.parse(arguments)) {
        result.action = CommandLine::Action::Exit;
        result.exitCode = 2;
        result.toStandardError = true;
        result.output = parser.errorText() + QStringLiteral("\n\n") + parser.helpText();
        return result;
    }
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
    if (!parser.positionalArguments().isEmpty()) {
        result.action = CommandLine::Action::Exit;
        result.exitCode = 2;
        result.toStandardError = true;
        result.output = QStringLiteral("Unexpected argument '%1'.\n\n")
                            .arg(parser.positionalArguments().constFirst()) +
                        parser.helpText();
        return result;
    }
    result.port = parser.value(port);
    result.traceFile = parser.value(trace);
    return result;
}
