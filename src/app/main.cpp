#include "CommandLine.h"
#include "ConsoleOutput.h"
#include "FrameTrace.h"
#include "HistoryCommand.h"
#include "ParentConsole.h"
#include "ProgramWindows.h"
#include "Provisioning.h"
#include "ReportCommand.h"
#include "SyncCommand.h"

#include <QApplication>
#include <QGuiApplication>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <csignal>
#endif

namespace {

// Reads the options before any window exists, so that --help, --version and
// a mistyped option answer at once, also where no display is reachable.
CommandLine ReadCommandLine(int argc, char* argv[]) {
    QCoreApplication parsing(argc, argv);
    return ParseCommandLine(QCoreApplication::arguments());
}

} // namespace

int main(int argc, char* argv[]) {
    AttachParentConsole();
#ifdef Q_OS_UNIX
    // A trace reader that goes away makes the next write fail, which ends the
    // trace; it must not end the program with the port still held.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    const CommandLine commandLine = ReadCommandLine(argc, argv);
    if (commandLine.action == CommandLine::Action::Exit) {
        std::fputs(qPrintable(commandLine.output), commandLine.toStandardError ? stderr : stdout);
        return commandLine.exitCode;
    }
    FrameTrace trace;
    if (!commandLine.traceFile.isEmpty()) {
        const QString error = trace.Open(commandLine.traceFile);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    }

    // The faces without a window report on the console.
    ConsoleOutput out;
    if (commandLine.provision || commandLine.report)
        trace.ReportFailure = [&out](const QString& text) {
            out.PrintError({QStringLiteral("detector-config: ") + text});
        };

    if (commandLine.sync) {
        QCoreApplication app(argc, argv);
        // The visits waiting for the server are in the default site book.
        QCoreApplication::setApplicationName("Configuration Tools");
        return RunSync(ResolveSiteBookLocation(commandLine.siteBook), out);
    }

    if (commandLine.history) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName("Configuration Tools");
        HistoryRequest request = *commandLine.history;
        request.book = ResolveSiteBookLocation(commandLine.siteBook);
        return RunHistory(request, out);
    }

    if (commandLine.provision) {
        // No window and no display: this also runs over SSH and in scripts.
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName("Configuration Tools");
        // The default site book's folder follows the application's name.
        ProvisionRequest request = *commandLine.provision;
        request.book = ResolveSiteBookLocation(commandLine.siteBook);
        return RunProvisioning(request, out, commandLine.traceFile.isEmpty() ? nullptr : &trace);
    }

    if (commandLine.report) {
        // The report's text and graph are drawn off screen: no display is
        // needed, over SSH and in scripts too.
#ifndef Q_OS_WIN
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
        QGuiApplication app(argc, argv);
        QGuiApplication::setApplicationName("Configuration Tools");
        ReportRequest request = *commandLine.report;
        request.book = ResolveSiteBookLocation(commandLine.siteBook);
        return RunReport(request, QStringLiteral(DCT_VERSION), out,
                         commandLine.traceFile.isEmpty() ? nullptr : &trace);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("Configuration Tools");
    // The process ends only at the end of the main window's fade-out, never
    // by the event loop running out of windows.
    QApplication::setQuitOnLastWindowClosed(false);

    ProgramWindows windows = CreateProgramWindows(TMainForm::Wiring::Full);
    if (!commandLine.port.isEmpty())
        windows.formCom->ChoosePort(commandLine.port);
    if (!commandLine.traceFile.isEmpty())
        AttachFrameTrace(windows, trace);
    AttachSiteBook(windows, ResolveSiteBookLocation(commandLine.siteBook));
    windows.formCom->SetNames(commandLine.site, commandLine.detector);
    windows.mainForm->show();
    return app.exec();
}
