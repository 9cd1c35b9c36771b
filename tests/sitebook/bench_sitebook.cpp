// What the site book adds to a provisioning run: opening the book (a new
// connection, the schema checked) and recording one --apply --store visit
// (the first read, two writes, the store read back, the end), in ms, for
// the local SQLite file and for a PostgreSQL server on this machine (a
// throw-away cluster, as the tests start). Built with the tests, run by
// hand (see the README), not part of the test run.

#include "PgCluster.h"
#include "SiteBook.h"
#include "VisitRecorder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// One run's share: open, record a visit, close. Returns ms, or -1.
double RecordOneVisit(const SiteBookLocation& where, int n, QString& error) {
    QElapsedTimer timer;
    timer.start();
    SiteBook book(where);
    if (!book.Open()) {
        error = book.Error();
        return -1;
    }
    VisitRecorder recorder(&book);
    recorder.Begin(QStringLiteral("/dev/ttyUSB0"), QStringLiteral("Bench"), QString::number(n),
                   QStringLiteral("bench"));
    recorder.ConfigRead(QByteArray(44, char(n)));
    recorder.WriteSent(QByteArray(40, '\1'), false);
    recorder.ConfigRead(QByteArray(44, char(n + 1)));
    recorder.WriteSent(QByteArray(40, '\2'), true);
    recorder.StoreVerified();
    recorder.End(VisitOutcome::Ok);
    if (!recorder.Failure().isEmpty() || book.KeptLocallyFor(recorder.Current().id)) {
        error = recorder.Failure().isEmpty() ? QStringLiteral("kept locally") : recorder.Failure();
        return -1;
    }
    return timer.nsecsElapsed() / 1e6;
}

bool Measure(const char* name, const SiteBookLocation& where, int runs) {
    QString error;
    // The first run makes the schema: not what a run in the field pays.
    if (RecordOneVisit(where, 0, error) < 0) {
        std::fprintf(stderr, "%s: %s\n", name, qPrintable(error));
        return false;
    }
    std::vector<double> ms;
    for (int n = 1; n <= runs; ++n) {
        const double t = RecordOneVisit(where, n, error);
        if (t < 0) {
            std::fprintf(stderr, "%s: %s\n", name, qPrintable(error));
            return false;
        }
        ms.push_back(t);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("| %s | %.1f ms | %.1f ms | %.1f ms |\n", name, ms.front(), ms[ms.size() / 2],
                ms.back());
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 25;
    PgCluster pg;
    if (!pg.IsCreated() || !pg.Start() || !pg.CreateDatabase(QStringLiteral("bench"))) {
        std::fprintf(stderr, "no PostgreSQL server: %s\n", qPrintable(pg.Error()));
        return 1;
    }
    QTemporaryDir dir;
    // The local default book (where a server's unsent visits would wait)
    // is this folder's too.
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toLocal8Bit());
    QCoreApplication::setApplicationName(QStringLiteral("Configuration Tools"));

    std::printf("open the book and record one --apply --store visit, %d runs:\n\n", runs);
    std::printf("| | best | median | worst |\n|---|---|---|---|\n");
    const bool sqlite =
        Measure("SQLite file", ResolveSiteBookLocation(dir.filePath("site-book.sqlite")), runs);
    // A laptop that has a local book: each run that opens the server looks
    // there for visits waiting to be sent.
    SiteBook local(ResolveSiteBookLocation(DefaultSiteBookFile()));
    if (!local.Open()) {
        std::fprintf(stderr, "%s\n", qPrintable(local.Error()));
        return 1;
    }
    const bool server = Measure("PostgreSQL, 127.0.0.1",
                                ResolveSiteBookLocation(pg.Uri(QStringLiteral("bench"))), runs);
    return sqlite && server ? 0 : 1;
}
