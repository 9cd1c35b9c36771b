#include "VisitDetails.h"

#include "ConfigSettings.h"
#include "EventRecord.h"
#include "ReportFacts.h"

#include <algorithm>

namespace {

QString Escaped(const QString& text) {
    return text.toHtmlEscaped();
}

QString Local(const QDateTime& time) {
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                          : QStringLiteral("not ended");
}

QString Row(const QStringList& cells, bool header = false, bool marked = false) {
    const QString tag = header ? QStringLiteral("th") : QStringLiteral("td");
    QString row =
        marked ? QStringLiteral("<tr style=\"font-weight:bold\">") : QStringLiteral("<tr>");
    for (const QString& cell : cells)
        row += QStringLiteral("<%1>%2</%1>").arg(tag, Escaped(cell));
    return row + QStringLiteral("</tr>");
}

QString Table(const QString& rows) {
    return QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">") + rows +
           QStringLiteral("</table>");
}

std::optional<DetectorConfig> Record(const QByteArray& bytes) {
    if (bytes.size() != DetectorConfig::Size)
        return std::nullopt;
    DetectorConfig config;
    std::copy(bytes.cbegin(), bytes.cend(), config.Bytes.begin());
    return config;
}

QString Settings(const Visit& v) {
    const std::optional<DetectorConfig> found = Record(v.found);
    const std::optional<DetectorConfig> left = Record(v.left);
    if (!found && !left)
        return QStringLiteral("<p>No configuration was read.</p>");
    QString rows =
        Row({QStringLiteral("Setting"), QStringLiteral("Found"), QStringLiteral("Left")}, true);
    for (const SettingDifference& s :
         SettingsSideBySide(found.value_or(*left), left.value_or(*found)))
        rows += Row({s.setting, s.first, s.second}, false, s.first != s.second);
    return Table(rows);
}

QString Writes(const Visit& v) {
    if (v.writes.isEmpty())
        return QStringLiteral("<p>None.</p>");
    QString rows = Row(
        {QStringLiteral("Sent"), QStringLiteral("Store to flash"), QStringLiteral("Body")}, true);
    for (const VisitWrite& w : v.writes)
        rows += Row({Local(w.sent), w.store ? QStringLiteral("yes") : QStringLiteral("no"),
                     QString::fromLatin1(w.body.toHex(' ').toUpper())});
    return Table(rows);
}

QString WalkTestText(const Visit& v) {
    if (v.walkEvents.isEmpty())
        return QStringLiteral("<p>No walk test.</p>");
    QString rows;
    for (const VisitWalkEvent& e : v.walkEvents)
        rows += Row({Local(e.at), e.text});
    return Table(rows);
}

QString EventLog(const Visit& v) {
    EventBuffer buffer{};
    if (v.eventLog.size() != static_cast<qsizetype>(buffer.size()))
        return QStringLiteral("<p>Not read.</p>");
    std::copy(v.eventLog.cbegin(), v.eventLog.cend(), buffer.begin());
    ConvertEventWords(buffer);
    QStringList titles{QStringLiteral("#")};
    for (const QString& t : EventColumnTitles())
        titles << t;
    QString rows = Row(titles, true);
    int n = 0;
    for (const EventRecord& record : EventRecordsOf(buffer)) {
        QStringList cells{QString::number(++n)};
        for (const QString& t : EventRowTexts(record))
            cells << t;
        rows += Row(cells);
    }
    return Table(rows);
}

} // namespace

QString VisitDetailsHtml(const Visit& v) {
    const std::pair<QString, QString> items[] = {
        {QStringLiteral("Site"), v.site},
        {QStringLiteral("Detector"), v.detector},
        {QStringLiteral("Started"), Local(v.started)},
        {QStringLiteral("Ended"), Local(v.ended)},
        {QStringLiteral("Outcome"), v.Ended() ? v.outcome : QStringLiteral("not ended")},
        {QStringLiteral("User"), v.user},
        {QStringLiteral("Host"), v.host},
        {QStringLiteral("Port"), v.port},
        {QStringLiteral("Version"), v.version},
        {QStringLiteral("Stored"), v.stored ? QStringLiteral("yes") : QStringLiteral("no")},
        {QStringLiteral("Report"), v.report.isEmpty() ? QStringLiteral("none") : v.report},
    };
    // One line of names over one line of values, so the configuration
    // below is in view at once.
    QStringList names, values;
    for (const auto& [name, value] : items) {
        names << name;
        values << value;
    }
    return QStringLiteral("<h3>Visit %1</h3>").arg(Escaped(v.id)) +
           Table(Row(names, true) + Row(values)) + QStringLiteral("<h3>Configuration</h3>") +
           Settings(v) + QStringLiteral("<h3>Writes</h3>") + Writes(v) +
           QStringLiteral("<h3>Walk test</h3>") + WalkTestText(v) +
           QStringLiteral("<h3>Event log</h3>") + EventLog(v);
}
