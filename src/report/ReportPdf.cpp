#include "ReportPdf.h"

#include "ReportDocument.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>

namespace {

constexpr int Dpi = 300;
// Page margins in millimetres; the page number sits in the bottom one.
const QMarginsF Margins(18, 16, 18, 18);
constexpr qreal FooterGapMm = 6;
constexpr qreal EdgePx = 0.5;

QString Failure(const QString& path, const QString& reason) {
    return QStringLiteral("The report was not saved to %1: %2")
        .arg(QDir::toNativeSeparators(path), reason);
}

// Lays the document out in pages of the writer's text area and paints them,
// each with its page number below the text.
bool PaintPages(QPdfWriter& writer, const ReportFacts& facts) {
    const QRect area = writer.pageLayout().paintRectPixels(writer.resolution());
    QTextDocument document;
    document.documentLayout()->setPaintDevice(&writer);
    document.setPageSize(QSizeF(area.width(), area.height()));
    BuildReportDocument(document, facts,
                        ReportPage{qreal(Dpi), qreal(area.width()), qreal(area.height())});

    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    const int pages = document.pageCount();
    const qreal pageHeight = document.pageSize().height();
    QFont footerFont = document.defaultFont();
    footerFont.setPointSizeF(8);
    for (int i = 0; i < pages; ++i) {
        if (i > 0 && !writer.newPage())
            return false;
        painter.save();
        painter.translate(0, -i * pageHeight);
        // The layout draws every line that touches the given rectangle, its
        // edges included: a heading moved to the top of the next page starts
        // exactly on this page's lower edge and would be drawn here too,
        // clipped out of sight but still in the text a search finds. Half a
        // pixel inside the edges draws each line on its own page only.
        document.drawContents(
            &painter, QRectF(0, i * pageHeight + EdgePx, area.width(), pageHeight - 2 * EdgePx));
        painter.restore();
        painter.setFont(footerFont);
        painter.setPen(QColor(90, 90, 90));
        const qreal gap = FooterGapMm * Dpi / 25.4;
        painter.drawText(
            QRectF(0, area.height() + gap / 2, area.width(), gap), Qt::AlignRight | Qt::AlignTop,
            QStringLiteral("%1 - page %2 of %3").arg(facts.Port).arg(i + 1).arg(pages));
    }
    return painter.end();
}

} // namespace

QString WriteReportPdf(const QString& path, const ReportFacts& facts) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Failure(path, file.errorString());
    {
        QPdfWriter writer(&file);
        writer.setResolution(Dpi);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, Margins,
                                         QPageLayout::Millimeter));
        writer.setTitle(QStringLiteral("Commissioning report"));
        writer.setCreator(QStringLiteral("Configuration Tools ") + facts.Version);
        if (!PaintPages(writer, facts)) {
            file.cancelWriting();
            return Failure(path, QStringLiteral("The document could not be drawn."));
        }
    }
    if (!file.commit())
        return Failure(path, file.errorString());
    return {};
}

QString CheckReportTarget(const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Failure(path, file.errorString());
    file.cancelWriting();
    return {};
}
