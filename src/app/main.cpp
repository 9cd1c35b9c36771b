#include "CommandLine.h"
#include "ConsoleOutput.h"
#include "FrameTrace.h"
#include "HistoryCommand.h"
#include "Interruption.h"
#include "ParentConsole.h"
#include "ProgramWindows.h"
#include "Provisioning.h"
#include "ReportCommand.h"
#include "SyncCommand.h"
#include "WalkTestCommand.h"
#include "X11Images.h"

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

// Whether the window has somewhere to go. Without a display the toolkit
// would abort with a note about reinstalling the program; over SSH or from
// cron the user is better told what to run instead.
bool WindowCanOpen(int argc, char* argv[]) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "-platform" || arg == "--platform" || arg.startsWith("-platform=") ||
            arg.startsWith("--platform="))
            return true; // the user chose where it goes
    }
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        if (!qEnvironmentVariableIsEmpty(name))
            return true;
    }
    return false;
#else
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return true;
#endif
}

// The faces without a window print their own lines only. The toolkit notes
// what it works around for itself (no XDG_RUNTIME_DIR over SSH or from cron,
// a font it substitutes): nothing the user did, nothing to act on.
void QuietToolkitNotes() {
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtFatalMsg || type == QtCriticalMsg)
            std::fprintf(stderr, "detector-config: %s\n", qPrintable(text));
    });
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
    const bool console =
        commandLine.provision || commandLine.report || commandLine.walkTest || commandLine.history;
    if (console) {
        // From here on Ctrl+C, SIGTERM and SIGHUP stop the port jobs in
        // order instead of ending the program under them.
        Interruption::Install();
        QuietToolkitNotes();
    } else if (commandLine.sync) {
        // No port to leave in order: Ctrl+C ends --sync at once, and each
        // visit is on the server whole or not at all.
        QuietToolkitNotes();
    } else if (!WindowCanOpen(argc, argv)) {
        std::fputs("detector-config: no display; the window needs one. Without a window use "
                   "--apply, --diff, --read, --report or --walk-test\n",
                   stderr);
        return ExitStatus::Usage;
    }

    FrameTrace trace;
    if (!commandLine.traceFile.isEmpty()) {
        const QString error = trace.Open(commandLine.traceFile);
        if (!error.isEmpty()) {
            // Without a window 1 means "differs"; a file that cannot be
            // written is a file error there.
            if (console) {
                std::fprintf(stderr, "detector-config: %s\n", qPrintable(error));
                return ExitStatus::FileError;
            }
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    }

    // The faces without a window report on the console.
    ConsoleOutput out;
    if (console)
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
        return Interruption::ExitStatus(
            RunProvisioning(request, out, commandLine.traceFile.isEmpty() ? nullptr : &trace));
    }

    if (commandLine.walkTest) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName("Configuration Tools");
        WalkTestRequest request = *commandLine.walkTest;
        request.book = ResolveSiteBookLocation(commandLine.siteBook);
        return Interruption::ExitStatus(
            RunWalkTest(request, out, commandLine.traceFile.isEmpty() ? nullptr : &trace));
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
        return Interruption::ExitStatus(
            RunReport(request, QStringLiteral(DCT_VERSION), out,
                      commandLine.traceFile.isEmpty() ? nullptr : &trace));
    }

    PreferPlainX11Images();
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
