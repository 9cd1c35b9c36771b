#include "EventLogView.h"

#include "CsvText.h"
#include "FindControl.h"
#include "SaveDialog.h"
#include "StringGrid.h"

#include <QAction>
#include <QDir>
#include <QGroupBox>
#include <QMenu>
#include <QMessageBox>
#include <QSaveFile>

#include <algorithm>
#include <cstring>
#include <stdexcept>

void ClearLogGrid(StringGrid& grid) {
    for (int row = 1; row < grid.rowCount(); ++row)
        for (int col = 1; col < grid.columnCount(); ++col)
            grid.setCell(col, row, QString());
}

EventLogView::EventLogView(QWidget* form)
    : QObject(form), StringGrid1(FindControl<StringGrid>(form, "StringGrid1")),
      GroupBox_Log(FindControl<QGroupBox>(form, "GroupBox_Log")),
      PopupMenu2(form->findChild<QMenu*>(QStringLiteral("PopupMenu2"))), Clear1(nullptr),
      ExportCsv1(nullptr) {
    setObjectName(QStringLiteral("EventLogView"));
    if (PopupMenu2) {
        // The form shows its menu over the group and the grid already.
        for (QAction* action : PopupMenu2->actions()) {
            if (action->objectName() == QLatin1String("Clear1"))
                Clear1 = action;
            if (action->objectName() == QLatin1String("ExportCsv1"))
                ExportCsv1 = action;
        }
        if (!Clear1)
            throw std::logic_error("missing control: Clear1");
        if (!ExportCsv1)
            throw std::logic_error("missing control: ExportCsv1");
    } else {
        PopupMenu2 = new QMenu(GroupBox_Log);
        PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
        Clear1 = new QAction(QStringLiteral("Clear Logs"), PopupMenu2);
        Clear1->setObjectName(QStringLiteral("Clear1"));
        PopupMenu2->addAction(Clear1);
        ExportCsv1 = new QAction(QStringLiteral("Export CSV..."), PopupMenu2);
        ExportCsv1->setObjectName(QStringLiteral("ExportCsv1"));
        PopupMenu2->addAction(ExportCsv1);
        // The grid fills the group box, so the group's menu must also come
        // up over the grid.
        GroupBox_Log->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(GroupBox_Log, &QWidget::customContextMenuRequested, this,
                [this](const QPoint& pos) { PopupMenu2->popup(GroupBox_Log->mapToGlobal(pos)); });
        StringGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(StringGrid1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
            PopupMenu2->popup(StringGrid1->viewport()->mapToGlobal(pos));
        });
    }
    connect(Clear1, &QAction::triggered, this, &EventLogView::Clear1Click);
    connect(ExportCsv1, &QAction::triggered, this, &EventLogView::ExportCsv1Click);

    ChooseFile = [this] {
        return ChooseSaveFileName(GroupBox_Log->window(), QStringLiteral("Export CSV"),
                                  {QStringLiteral("CSV (*.csv)"), QStringLiteral("All files (*)")},
                                  QStringLiteral("csv"), QStringLiteral("event-log.csv"));
    };
    ShowMessage = [this](const QString& text) {
        QMessageBox::warning(GroupBox_Log->window(), GroupBox_Log->window()->windowTitle(), text);
    };
}

QList<QStringList> LogGridRecords(const StringGrid& grid) {
    QList<QStringList> records;
    for (int row = 0; row < grid.rowCount(); ++row) {
        QStringList record;
        bool any = false;
        for (int col = 1; col < grid.columnCount(); ++col) {
            record << grid.cell(col, row);
            any = any || !record.constLast().isEmpty();
        }
        if (row == 0 || any)
            records << record;
    }
    return records;
}

void EventLogView::ConnectionStarted() {
    ClearLogGrid(*StringGrid1);
    ShowStale();
}

// Greyed as a whole; the context menu stays, so a stale table can still be
// exported.
void EventLogView::ShowStale() {
    StringGrid1->setEnabled(false);
}

void EventLogView::EventLogReport(const std::uint8_t* payload220) {
    StringGrid1->setEnabled(true);
    std::memcpy(m_buffer.data(), payload220, m_buffer.size());
    m_converted = false;
    ApplyEventLog();
}

void EventLogView::ApplyEventLog() {
    // Converting twice would swap the words back: a repeated call shows the
    // same records again.
    if (!m_converted)
        ConvertEventWords(m_buffer);
    m_converted = true;
    ClearLogGrid(*StringGrid1);
    const int rows = std::min(EventRecordCount, StringGrid1->rowCount() - 1);
    const int cols = std::min(9, StringGrid1->columnCount() - 1);
    for (int k = 0; k < rows; ++k) {
        const auto texts = EventRowTexts(ReadEventRecord(m_buffer, k));
        for (int col = 1; col <= cols; ++col)
            StringGrid1->setCell(col, k + 1, texts[static_cast<std::size_t>(col - 1)]);
    }
}

void EventLogView::Clear1Click() {
    ClearLogGrid(*StringGrid1);
}

void EventLogView::ExportCsv1Click() {
    const QString path = ChooseFile ? ChooseFile() : QString();
    if (!path.isEmpty())
        ExportCsv(path);
}

bool EventLogView::ExportCsv(const QString& path) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(CsvText(LogGridRecords(*StringGrid1)));
        if (file.commit()) {
            if (Exported)
                Exported(path);
            return true;
        }
    }
    if (ShowMessage)
        ShowMessage(QStringLiteral("The event log was not exported to %1: %2")
                        .arg(QDir::toNativeSeparators(path), file.errorString()));
    return false;
}
