#include "ReportDocument.h"

#include "ConfigTexts.h"
#include "LiveReadings.h"
#include "PwmLabels.h"

#include <QAbstractTextDocumentLayout>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QUrl>

#include <cmath>
#include <vector>

namespace {

// Type sizes in points: the body is 10 pt, headings stand out from it.
constexpr qreal BodyPoints = 10;
constexpr qreal HeadingPoints = 13;
constexpr qreal TitlePoints = 18;
constexpr qreal LayoutDpi = 96;
// The event log's ten columns share the text width: its titles are set a
// little smaller so that no word of them is broken.
constexpr qreal HeaderPoints = 8.5;

QString OnOff(bool on) {
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

// Appends blocks and tables at the end of a document, in the report's style.
class ReportWriter {
public:
    ReportWriter(QTextDocument& document, const ReportPage& page)
        : m_document(document), m_cursor(&document), m_page(page) {
        QFont body(QStringLiteral("DejaVu Sans"));
        body.setStyleHint(QFont::SansSerif);
        body.setPointSizeF(BodyPoints);
        // No ligatures: "off" must read as o, f, f to anyone who copies or
        // searches the text.
        body.setStyleStrategy(QFont::PreferNoShaping);
        m_document.setDefaultFont(body);
        m_document.setDocumentMargin(0);
    }

    // Lengths of borders, padding, margins and pictures are given to the
    // layout in pixels of 96 per inch, which it scales to the device.
    static qreal Px(qreal millimetres) { return millimetres * LayoutDpi / 25.4; }

    void Title(const QString& text) { Block(text, TitlePoints, true, 0, 2); }
    void Heading(const QString& text) {
        Block(text, HeadingPoints, true, 6, 2);
        m_lead = m_cursor.block();
    }
    void Paragraph(const QString& text) { Block(text, BodyPoints, false, 1, 1); }
    void Caption(const QString& text) { Block(text, BodyPoints, true, 3, 1); }

    // A table with one header row, repeated on every page the table runs
    // onto. `widths` are percentages of the text width, one per column.
    void Table(const QStringList& header, const QList<QStringList>& rows,
               const QList<qreal>& widths, qreal headerPoints = BodyPoints) {
        QTextTableFormat format;
        format.setHeaderRowCount(1);
        format.setBorder(1);
        format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        format.setBorderBrush(QColor(110, 110, 110));
        format.setBorderCollapse(true);
        format.setCellPadding(Px(1.5));
        format.setCellSpacing(0);
        format.setTopMargin(Px(1));
        format.setBottomMargin(Px(2.5));
        format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        QList<QTextLength> constraints;
        for (qreal w : widths)
            constraints << QTextLength(QTextLength::PercentageLength, w);
        format.setColumnWidthConstraints(constraints);

        m_cursor.movePosition(QTextCursor::End);
        QTextTable* table =
            m_cursor.insertTable(static_cast<int>(rows.size()) + 1, header.size(), format);
        m_whole.push_back({TakeLead(), table, QTextBlock()});
        QTextCharFormat headerText = TextFormat(headerPoints, true);
        QTextCharFormat cellText = TextFormat(BodyPoints, false);
        for (int c = 0; c < header.size(); ++c) {
            QTextTableCell cell = table->cellAt(0, c);
            QTextTableCellFormat shade = cell.format().toTableCellFormat();
            shade.setBackground(QColor(225, 225, 225));
            cell.setFormat(shade);
            cell.firstCursorPosition().insertText(header[c], headerText);
        }
        for (int r = 0; r < rows.size(); ++r)
            for (int c = 0; c < header.size() && c < rows[r].size(); ++c)
                table->cellAt(r + 1, c).firstCursorPosition().insertText(rows[r][c], cellText);
        m_cursor.movePosition(QTextCursor::End);
        // The document keeps an empty block after a table; the next text
        // goes there rather than below it.
        m_reuseBlock = true;
    }

    // The picture across the whole text width, its aspect ratio kept.
    void Picture(const QImage& image) {
        if (image.isNull() || image.width() <= 0)
            return;
        const QUrl name(QStringLiteral("report-graph.png"));
        m_document.addResource(QTextDocument::ImageResource, name, image);
        QTextImageFormat format;
        format.setName(name.toString());
        const qreal width = m_page.TextWidth * LayoutDpi / m_page.Dpi;
        format.setWidth(width);
        format.setHeight(width * image.height() / image.width());
        const QTextBlock lead = TakeLead();
        NewBlock(1, 1);
        m_cursor.insertImage(format);
        m_whole.push_back({lead, nullptr, m_cursor.block()});
    }

    // Moves each table and picture that runs over a page break, but fits on
    // one page, to the next page together with the heading right above it.
    // Earlier moves shift what follows, so each is measured after them.
    void KeepWhole() {
        const qreal pageHeight = m_document.pageSize().height();
        if (pageHeight <= 0)
            return;
        QAbstractTextDocumentLayout* layout = m_document.documentLayout();
        for (const Whole& item : m_whole) {
            m_document.pageCount(); // lays out again after an earlier move
            const QRectF body = item.Table ? layout->frameBoundingRect(item.Table)
                                           : layout->blockBoundingRect(item.Block);
            const qreal top =
                item.Lead.isValid() ? layout->blockBoundingRect(item.Lead).top() : body.top();
            const bool crosses =
                std::floor(top / pageHeight) != std::floor((body.bottom() - 1) / pageHeight);
            if (!crosses || body.bottom() - top > pageHeight)
                continue;
            if (item.Lead.isValid()) {
                QTextCursor at(item.Lead);
                QTextBlockFormat format = item.Lead.blockFormat();
                format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
                at.setBlockFormat(format);
            } else if (item.Table) {
                QTextTableFormat format = item.Table->format();
                format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
                item.Table->setFormat(format);
            }
        }
    }

private:
    QTextCharFormat TextFormat(qreal points, bool bold) const {
        QTextCharFormat format;
        format.setFontPointSize(points);
        format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
        return format;
    }

    void NewBlock(qreal aboveMm, qreal belowMm) {
        m_cursor.movePosition(QTextCursor::End);
        QTextBlockFormat block;
        block.setTopMargin(Px(aboveMm));
        block.setBottomMargin(Px(belowMm));
        if (m_reuseBlock)
            m_cursor.setBlockFormat(block);
        else
            m_cursor.insertBlock(block);
        m_reuseBlock = false;
    }

    void Block(const QString& text, qreal points, bool bold, qreal aboveMm, qreal belowMm) {
        NewBlock(aboveMm, belowMm);
        m_cursor.insertText(text, TextFormat(points, bold));
        m_lead = QTextBlock();
    }

    // The heading written last, if nothing came after it.
    QTextBlock TakeLead() {
        const QTextBlock lead = m_lead;
        m_lead = QTextBlock();
        return lead;
    }

    // A table or picture (in its block) kept on one page with its heading.
    struct Whole {
        QTextBlock Lead;
        QTextTable* Table;
        QTextBlock Block;
    };

    QTextDocument& m_document;
    QTextCursor m_cursor;
    ReportPage m_page;
    bool m_reuseBlock = true; // the document starts with one empty block
    QTextBlock m_lead;
    std::vector<Whole> m_whole;
};

void Heading(ReportWriter& out, const ReportFacts& f) {
    out.Title(QStringLiteral("Configuration Tools"));
    out.Paragraph(QStringLiteral("Commissioning report"));
    out.Table({QStringLiteral("Date and time"), QStringLiteral("Port"), QStringLiteral("Version")},
              {{f.Time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), f.Port, f.Version}},
              {34, 44, 22});
}

// The noise-reduction boxes as the window shows them: the detector switches
// PIR noise reduction itself (with temperature compensation) and reports the
// state in each live status, which the two PIR boxes follow; without a live
// status they show the configuration's bits.
QList<QStringList> NoiseRows(const ReportFacts& f) {
    const std::uint16_t flags = f.Config.ConfigFlags();
    FlagSet device{};
    if (f.LastStatus)
        UnpackFlags(f.LastStatus->Status.DeviceFlags(), device);
    QList<QStringList> rows;
    for (const FlagBoxText& box : NoiseFlagBoxes()) {
        if (!box.Visible)
            continue;
        bool on = flags & box.Bit;
        QString source = QStringLiteral("configuration");
        const int live = box.Bit == FlagNoisePir1   ? DeviceFlag::NoisePir1
                         : box.Bit == FlagNoisePir2 ? DeviceFlag::NoisePir2
                                                    : -1;
        if (live >= 0 && f.LastStatus) {
            on = device[static_cast<std::size_t>(live)];
            source = QStringLiteral("last live status");
        }
        rows << QStringList{FlagCaption(box, flags), OnOff(on), source};
    }
    return rows;
}

void Configuration(ReportWriter& out, const ReportFacts& f) {
    const DetectorConfig& c = f.Config;
    out.Heading(QStringLiteral("Configuration"));

    QList<QStringList> channels;
    for (int ch = 0; ch < DetectorConfig::ChannelCount; ++ch) {
        // The labels show the received numbers as they are, unclamped.
        channels << QStringList{ChannelCaption(ch),
                                QString::number(c.TRange(ch)),
                                QString::number(c.Nconv(ch)),
                                QString::number(c.Tconv(ch)),
                                QString::number(c.NPulse(ch)),
                                ch == DetectorConfig::ChannelMw ? QString() : f.Lenses[ch - 1]};
    }
    out.Table({QStringLiteral("Channel"), QStringLiteral("Threshold"), QStringLiteral("Rate"),
               QStringLiteral("Speed"), QStringLiteral("Pulse"), QStringLiteral("Lens")},
              channels, {24, 16, 12, 12, 12, 24});

    const std::uint16_t flags = c.ConfigFlags();
    const auto flagRows = [flags](const std::vector<FlagBoxText>& boxes) {
        QList<QStringList> rows;
        for (const FlagBoxText& box : boxes)
            if (box.Visible)
                rows << QStringList{FlagCaption(box, flags), OnOff(flags & box.Bit)};
        return rows;
    };
    out.Table({QStringLiteral("Enable/Disable"), QString()}, flagRows(EnableFlagBoxes()), {60, 40});
    out.Table({QStringLiteral("Noise reduction"), QString(), QStringLiteral("Source")},
              NoiseRows(f), {50, 15, 35});

    QList<QStringList> outputs;
    for (int out = 0; out < DetectorConfig::OutputCount; ++out) {
        const std::uint8_t bits = c.OutFlags(out);
        QStringList technologies;
        for (std::uint8_t bit : OutTechnologyBits)
            if (bits & bit)
                technologies << TechnologyCaption(bit);
        outputs << QStringList{QStringLiteral("Out #%1").arg(out + 1),
                               OnOff(bits & OutEnable),
                               FunctionText(c.Function(out)),
                               technologies.join(QStringLiteral(", ")),
                               ContactText(bits),
                               TimeAndText(TimeAndShownSeconds(c.TimeAnd(out), out))};
    }
    out.Table({QString(), QStringLiteral("Enable"), QStringLiteral("Function"),
               QStringLiteral("Tecnologies"), QStringLiteral("NC/NO"), QStringLiteral("Time AND")},
              outputs, {12, 12, 18, 28, 12, 18});

    out.Table({QStringLiteral("MW Pw"), QString()},
              {{QStringLiteral("Duty"), PwmDutyLabel(c.PwmDc())},
               {QStringLiteral("Frequency"), PwmFrequencyLabel(c.PwmFq())}},
              {60, 40});
}

void LiveReadings(ReportWriter& out, const ReportFacts& f) {
    out.Heading(QStringLiteral("Live readings"));
    if (!f.LastStatus) {
        out.Paragraph(QStringLiteral("No live status was received."));
        return;
    }
    const LiveStatus& s = f.LastStatus->Status;
    QList<QStringList> rows;
    for (const LiveReading& r :
         LiveReadingTexts(s, f.LastStatus->Direct, f.Config.ConfigFlags() & FlagTempComp))
        rows << QStringList{r.Name, r.Value};
    out.Table({QStringLiteral("Reading"), QStringLiteral("Value")}, rows, {60, 40});
    FlagSet detect;
    FlagSet device;
    UnpackFlags(s.DetectFlags(), detect);
    UnpackFlags(s.DeviceFlags(), device);
    const QStringList lit = LitLampNames(detect, device);
    out.Paragraph(QStringLiteral("Lamps on: ") +
                  (lit.isEmpty() ? QStringLiteral("none") : lit.join(QStringLiteral(", "))));
}

void EventLog(ReportWriter& out, const ReportFacts& f) {
    out.Heading(QStringLiteral("Event log"));
    if (!f.EventLog) {
        out.Paragraph(
            f.EventLogProblem.isEmpty()
                ? QStringLiteral("The event log was not read in this session.")
                : QStringLiteral("The event log could not be read: %1").arg(f.EventLogProblem));
        return;
    }
    QStringList header{QString()};
    for (const QString& title : EventColumnTitles())
        header << title;
    QList<QStringList> rows;
    for (int k = 0; k < EventRecordCount; ++k) {
        QStringList row{QString::number(k + 1) + QLatin1Char(' ')};
        for (const QString& text : EventRowTexts((*f.EventLog)[static_cast<std::size_t>(k)]))
            row << text;
        rows << row;
    }
    out.Table(header, rows, {5, 20, 9.5, 9.5, 9.5, 9.5, 9.5, 9.5, 9.5, 8.5}, HeaderPoints);
}

} // namespace

void BuildReportDocument(QTextDocument& document, const ReportFacts& facts,
                         const ReportPage& page) {
    document.clear();
    ReportWriter out(document, page);
    Heading(out, facts);
    Configuration(out, facts);
    LiveReadings(out, facts);
    EventLog(out, facts);
    out.Heading(QStringLiteral("Signal graph"));
    out.Picture(facts.Graph);
    out.KeepWhole();
}
