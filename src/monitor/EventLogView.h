#pragma once

#include "EventRecord.h"

#include <QObject>
#include <QStringList>

#include <cstdint>
#include <functional>

class QAction;
class QGroupBox;
class QMenu;
class QWidget;
class StringGrid;

// Blanks the data cells of a grid: every cell outside the header row and the
// header column.
void ClearLogGrid(StringGrid& grid);

// The table as the user sees it, for export: the column titles, then one
// record per event row; the row-number column and rows without any text are
// left out.
QList<QStringList> LogGridRecords(const StringGrid& grid);

// Shows the detector's event log in the table of the LOGS page and offers
// "Clear Logs" and "Export CSV..." on the table's context menu.
class EventLogView : public QObject {
    Q_OBJECT
public:
    // Throws std::logic_error when a control is missing from `form`. Uses the
    // form's menu PopupMenu2 and its item Clear1 when the form has the menu;
    // otherwise makes both and shows the menu over the group and the grid.
    explicit EventLogView(QWidget* form);

    // Receipt of report 12: stores the 220 payload bytes and shows them.
    void EventLogReport(const std::uint8_t* payload220);
    // Converts the stored records in place (once per report) and rewrites
    // the table.
    void ApplyEventLog();
    void Clear1Click();
    // A new connection: the table shows nothing of the detector before, and
    // stays greyed until this detector's log has been read.
    void ConnectionStarted();
    // The link went down: the table greys like the other readouts.
    void ShowStale();
    // Asks for a file name, then writes the table there as CSV.
    void ExportCsv1Click();
    // Told where an export went.
    std::function<void(const QString& path)> Exported;
    // Writes the table to `path` through a temporary file that replaces the
    // old one only when complete, so a failed export destroys nothing. A
    // failure is shown with the path and the system's reason; false then.
    bool ExportCsv(const QString& path);

    // The save dialog and the message box; tests replace them.
    std::function<QString()> ChooseFile;
    std::function<void(const QString&)> ShowMessage;

    const EventBuffer& Buffer() const { return m_buffer; }

    StringGrid* StringGrid1;
    QGroupBox* GroupBox_Log;
    QMenu* PopupMenu2;
    QAction* Clear1;
    QAction* ExportCsv1;

private:
    EventBuffer m_buffer{};
    bool m_converted = false;
};
