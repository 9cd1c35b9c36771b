#pragma once

#include "LiveStatus.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// One detection, alarm, tamper or fault seen during a walk test: a flag of
// the live status from the status in which it rose until the status in
// which it was clear again. Plain values only, so a row can be stored as it
// is (a visit's record keeps them).
struct WalkEvent {
    int Kind = 0;             // index into WalkTest::KindNames()
    std::int64_t StartMs = 0; // receipt of its first status, ms since 1970 UTC
    // Until the status in which the flag was clear again; none while it is
    // set, or when the walk test ended first (Stop, end of time, lost link).
    std::optional<std::int64_t> DurationMs;
    // Highest level of MW, Pir High above and Pir Down Under while it lasted,
    // as the window's bars show them ("Direct Convert" as chosen).
    std::array<std::uint16_t, 3> Peaks{};
    // Still set when the walk test ended; then also when the link was lost,
    // if that ended it.
    bool Unfinished = false;
    std::optional<std::int64_t> LinkLostMs;
};

// A walk test as documents keep it: when it started, its rows, and when the
// link was lost if that ended it.
struct WalkTestRun {
    std::int64_t StartedMs = 0;
    std::vector<WalkEvent> Events;
    std::optional<std::int64_t> LinkLostMs;
};

// The walk test without any window: fed with the live statuses in the order
// they arrive, it turns each rising edge of the listed flags into an event.
// A flag already set in the first status after Start counts as rising there.
// Rows stay (latched) until Clear; Start after Stop adds to them.
class WalkTest {
public:
    static constexpr int KindCount = 17;
    // The event names, in the order of the flags that make them.
    static const std::array<QString, KindCount>& KindNames();

    void Start(std::int64_t nowMs);
    // Ends the test; events still set stay without a duration.
    void Stop();
    // The link was lost at `nowMs`: stops, and marks the events still set
    // with that time.
    void LinkLost(std::int64_t nowMs);
    void Clear();

    struct Change {
        int NewRows = 0;      // appended at the end of Events()
        bool Changed = false; // some open row's end or peaks moved
        bool Ended = false;   // some open row ended
    };
    // One live status received at `receivedMs`; nothing while not running.
    Change Feed(const LiveStatus& status, bool direct, std::int64_t receivedMs);

    bool Running() const { return m_running; }
    std::int64_t StartedMs() const { return m_startedMs; }
    std::optional<std::int64_t> LinkLostMs() const { return m_linkLostMs; }
    const std::vector<WalkEvent>& Events() const { return m_events; }
    // Whether the flag of row `row` is set in the latest status.
    bool Open(std::size_t row) const;
    std::array<int, KindCount> Counts() const;
    // The run for a document, with the rows that started at or after
    // `sinceMs` (those of the present connection).
    WalkTestRun Run(std::int64_t sinceMs) const;

    // Told once of each row when it is final: its flag cleared, or the test
    // ended (Stop, lost link) while it was still set. A record of the visit
    // takes each row from here, so no row is kept twice or missed.
    std::function<void(const WalkEvent&)> EventFinished;

private:
    void EndOpen(bool linkLost, std::int64_t nowMs);

    bool m_running = false;
    std::int64_t m_startedMs = 0;
    std::optional<std::int64_t> m_linkLostMs;
    std::vector<WalkEvent> m_events;
    std::array<int, KindCount> m_open{}; // row of each kind's open event, or -1
};

// Texts of a row, as the window, the console and the CSV show them: the start
// as local time "yyyy-MM-dd HH:mm:ss.zzz", the name, the duration in ms
// (empty while unfinished), then the three peaks.
QStringList WalkEventTexts(const WalkEvent& event);
// The row in one line after its start, as the console prints it and a
// visit keeps it: "MW 400 ms, peaks MW 512, Pir High above 61, Pir Down
// Under 59", or "... still set at the end, ..." or "... still set when the
// link was lost at yyyy-MM-dd HH:mm:ss.zzz, ...".
QString WalkEventLine(const WalkEvent& event);
// The duration as the window and the report show it: the milliseconds, or
// while the flag is set "set", after the end "still set at the end", or
// "link lost at HH:mm:ss.zzz".
QString WalkDurationShown(const WalkEvent& event, bool open);
// The CSV columns' titles.
QStringList WalkCsvHeader();
// Header then one record per event in order of start.
QList<QStringList> WalkCsvRecords(const std::vector<WalkEvent>& events);
// Writes the CSV (UTF-8 with a byte-order mark, as every CSV of the program)
// to `path`, replacing a file of that name only when complete. Empty on
// success, else the reason.
QString WriteWalkCsv(const QString& path, const std::vector<WalkEvent>& events);
// Whether `path` could be written now, tried without touching an existing
// file: empty if so, else the reason.
QString CheckWalkCsvTarget(const QString& path);
// "MW 2, Pir Down Under 1, Out #1 1" (names with no event left out), or "none".
QString WalkCountsText(const std::array<int, WalkTest::KindCount>& counts);
// Counts of the given events per kind.
std::array<int, WalkTest::KindCount> WalkCounts(const std::vector<WalkEvent>& events);
// "yyyy-MM-dd HH:mm:ss.zzz" in local time.
QString WalkTimeText(std::int64_t msSinceEpoch);
