#include "WalkTest.h"

#include "CsvText.h"

#include <QDateTime>
#include <QSaveFile>

#include <algorithm>

namespace {

// Which word and bit make each kind, in the order of KindNames().
struct KindFlag {
    bool Device; // DeviceFlags, else DetectFlags
    int Bit;
};
constexpr std::array<KindFlag, WalkTest::KindCount> Flags{{
    {false, DetectFlag::Mw},
    {false, DetectFlag::Pir1},
    {false, DetectFlag::Pir2},
    {false, DetectFlag::Acc1},
    {false, DetectFlag::Acc2},
    {false, DetectFlag::Tamper},
    {false, DetectFlag::Acc1Noise},
    {false, DetectFlag::Acc2Noise},
    {true, DeviceFlag::Out1},
    {true, DeviceFlag::Out2},
    {true, DeviceFlag::Out3},
    {true, DeviceFlag::PowerFail},
    {true, DeviceFlag::MwFault},
    {true, DeviceFlag::Pir1Fault},
    {true, DeviceFlag::Pir2Fault},
    {true, DeviceFlag::CpuFault},
    {true, DeviceFlag::DiagnosticOn},
}};

} // namespace

const std::array<QString, WalkTest::KindCount>& WalkTest::KindNames() {
    static const std::array<QString, KindCount> names{
        QStringLiteral("MW"),
        QStringLiteral("Pir High above"),
        QStringLiteral("Pir Down Under"),
        QStringLiteral("Mask #1"),
        QStringLiteral("Mask #2"),
        QStringLiteral("Tamper"),
        QStringLiteral("Mask #1 noise"),
        QStringLiteral("Mask #2 noise"),
        QStringLiteral("Out #1"),
        QStringLiteral("Out #2"),
        QStringLiteral("Out #3"),
        QStringLiteral("Power fault"),
        QStringLiteral("MW fault"),
        QStringLiteral("Pir High above fault"),
        QStringLiteral("Pir Down Under fault"),
        QStringLiteral("CPU fault"),
        QStringLiteral("Auto test"),
    };
    return names;
}

void WalkTest::Start(std::int64_t nowMs) {
    if (m_running)
        return;
    m_running = true;
    m_startedMs = nowMs;
    m_linkLostMs.reset();
    // Nothing is open yet: a flag set in the first status rises there.
    m_open.fill(-1);
}

void WalkTest::Stop() {
    if (m_running)
        EndOpen(false, 0);
}

void WalkTest::LinkLost(std::int64_t nowMs) {
    if (!m_running)
        return;
    m_linkLostMs = nowMs;
    EndOpen(true, nowMs);
}

void WalkTest::EndOpen(bool linkLost, std::int64_t nowMs) {
    for (int& row : m_open) {
        if (row < 0)
            continue;
        WalkEvent& e = m_events[static_cast<std::size_t>(row)];
        e.Unfinished = true;
        if (linkLost)
            e.LinkLostMs = nowMs;
        row = -1;
        if (EventFinished)
            EventFinished(e);
    }
    m_running = false;
}

void WalkTest::Clear() {
    m_events.clear();
    m_open.fill(-1);
    m_linkLostMs.reset();
}

WalkTest::Change WalkTest::Feed(const LiveStatus& s, bool direct, std::int64_t receivedMs) {
    Change change;
    if (!m_running)
        return change;
    const std::uint16_t detect = s.DetectFlags();
    const std::uint16_t device = s.DeviceFlags();
    const std::array<std::uint16_t, 3> levels{
        direct ? s.MwDirectLevel() : s.MwLevel(),
        direct ? s.Pir1DirectLevel() : s.Pir1Level(),
        direct ? s.Pir2DirectLevel() : s.Pir2Level(),
    };
    for (int k = 0; k < KindCount; ++k) {
        const KindFlag& f = Flags[static_cast<std::size_t>(k)];
        const bool set = ((f.Device ? device : detect) >> f.Bit) & 1;
        int& row = m_open[static_cast<std::size_t>(k)];
        if (set && row < 0) {
            WalkEvent e;
            e.Kind = k;
            e.StartMs = receivedMs;
            e.Peaks = levels;
            row = static_cast<int>(m_events.size());
            m_events.push_back(e);
            ++change.NewRows;
        } else if (set) {
            WalkEvent& e = m_events[static_cast<std::size_t>(row)];
            for (std::size_t c = 0; c < 3; ++c) {
                if (levels[c] > e.Peaks[c]) {
                    e.Peaks[c] = levels[c];
                    change.Changed = true;
                }
            }
        } else if (row >= 0) {
            WalkEvent& e = m_events[static_cast<std::size_t>(row)];
            e.DurationMs = receivedMs - e.StartMs;
            row = -1;
            change.Changed = true;
            change.Ended = true;
            if (EventFinished)
                EventFinished(e);
        }
    }
    return change;
}

bool WalkTest::Open(std::size_t row) const {
    return std::find(m_open.begin(), m_open.end(), static_cast<int>(row)) != m_open.end();
}

std::array<int, WalkTest::KindCount> WalkTest::Counts() const {
    return WalkCounts(m_events);
}

WalkTestRun WalkTest::Run(std::int64_t sinceMs) const {
    WalkTestRun run;
    run.StartedMs = m_startedMs;
    run.LinkLostMs = m_linkLostMs;
    for (const WalkEvent& e : m_events)
        if (e.StartMs >= sinceMs)
            run.Events.push_back(e);
    return run;
}

QString WalkEventLine(const WalkEvent& e) {
    const bool known = e.Kind >= 0 && e.Kind < WalkTest::KindCount;
    const QString name =
        known ? WalkTest::KindNames()[static_cast<std::size_t>(e.Kind)] : QString();
    const QString peaks = QStringLiteral("peaks MW %1, Pir High above %2, Pir Down Under %3")
                              .arg(e.Peaks[0])
                              .arg(e.Peaks[1])
                              .arg(e.Peaks[2]);
    if (e.DurationMs)
        return QStringLiteral("%1 %2 ms, %3").arg(name).arg(*e.DurationMs).arg(peaks);
    if (e.LinkLostMs)
        return QStringLiteral("%1 still set when the link was lost at %2, %3")
            .arg(name, WalkTimeText(*e.LinkLostMs), peaks);
    return QStringLiteral("%1 still set at the end, %2").arg(name, peaks);
}

QString WalkDurationShown(const WalkEvent& e, bool open) {
    if (e.DurationMs)
        return QString::number(*e.DurationMs);
    if (open)
        return QStringLiteral("set");
    if (e.LinkLostMs)
        return QStringLiteral("link lost at ") + QDateTime::fromMSecsSinceEpoch(*e.LinkLostMs)
                                                     .toString(QStringLiteral("HH:mm:ss.zzz"));
    return QStringLiteral("still set at the end");
}

std::array<int, WalkTest::KindCount> WalkCounts(const std::vector<WalkEvent>& events) {
    std::array<int, WalkTest::KindCount> counts{};
    for (const WalkEvent& e : events)
        if (e.Kind >= 0 && e.Kind < WalkTest::KindCount)
            ++counts[static_cast<std::size_t>(e.Kind)];
    return counts;
}

QString WalkTimeText(std::int64_t msSinceEpoch) {
    return QDateTime::fromMSecsSinceEpoch(msSinceEpoch)
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

QStringList WalkEventTexts(const WalkEvent& e) {
    const bool known = e.Kind >= 0 && e.Kind < WalkTest::KindCount;
    return {WalkTimeText(e.StartMs),
            known ? WalkTest::KindNames()[static_cast<std::size_t>(e.Kind)] : QString(),
            e.DurationMs ? QString::number(*e.DurationMs) : QString(),
            QString::number(e.Peaks[0]),
            QString::number(e.Peaks[1]),
            QString::number(e.Peaks[2])};
}

QStringList WalkCsvHeader() {
    return {QStringLiteral("Start"),
            QStringLiteral("Event"),
            QStringLiteral("Duration (ms)"),
            QStringLiteral("MW peak"),
            QStringLiteral("Pir High above peak"),
            QStringLiteral("Pir Down Under peak")};
}

QList<QStringList> WalkCsvRecords(const std::vector<WalkEvent>& events) {
    std::vector<const WalkEvent*> ordered;
    ordered.reserve(events.size());
    for (const WalkEvent& e : events)
        ordered.push_back(&e);
    // Rows are appended as their statuses arrive, already in order of start;
    // sorting keeps that true for any list handed in.
    std::stable_sort(ordered.begin(), ordered.end(), [](const WalkEvent* a, const WalkEvent* b) {
        return a->StartMs < b->StartMs;
    });
    QList<QStringList> records{WalkCsvHeader()};
    for (const WalkEvent* e : ordered)
        records << WalkEventTexts(*e);
    return records;
}

QString WalkCountsText(const std::array<int, WalkTest::KindCount>& counts) {
    QStringList parts;
    for (int k = 0; k < WalkTest::KindCount; ++k)
        if (counts[static_cast<std::size_t>(k)] > 0)
            parts << QStringLiteral("%1 %2")
                         .arg(WalkTest::KindNames()[static_cast<std::size_t>(k)])
                         .arg(counts[static_cast<std::size_t>(k)]);
    return parts.isEmpty() ? QStringLiteral("none") : parts.join(QStringLiteral(", "));
}

QString WriteWalkCsv(const QString& path, const std::vector<WalkEvent>& events) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    file.write(CsvText(WalkCsvRecords(events)));
    if (!file.commit())
        return file.errorString();
    return {};
}

QString CheckWalkCsvTarget(const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    file.cancelWriting();
    return {};
}
