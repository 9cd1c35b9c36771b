#pragma once

#include "Visit.h"

#include <QList>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class SiteBook;
namespace Ui {
class SiteBookWindow;
}

// The site book as a window: the visits newest first, filtered by site,
// detector and a text; the chosen visit's details (the configuration found
// and left side by side, the writes, the walk test, the event log); Save
// Config of what the visit left, its report opened, the list exported as CSV.
class SiteBookWindow : public QWidget {
    Q_OBJECT
public:
    explicit SiteBookWindow(SiteBook& book, QWidget* parent = nullptr);
    ~SiteBookWindow() override;

    // Reads the book again with the filters as they stand.
    void Refresh();
    const QList<Visit>& Shown() const { return m_visits; }
    // Chooses the visit in row `row` of the list.
    void SelectRow(int row);
    // The chosen visit, with its details; none when no row is chosen.
    const std::optional<Visit>& Chosen() const { return m_chosen; }
    // The details as shown, as plain text.
    QString DetailsText() const;

    // Writes what the chosen visit left as a configuration file; false with
    // a message when there is none or the file cannot be written.
    bool SaveConfig(const QString& path);
    bool ExportCsv(const QString& path);
    void OpenReport();

    // The save dialog, the message box and the opening of a document; tests
    // replace them.
    std::function<QString(const QString& title, const QString& filter, const QString& suffix,
                          const QString& name)>
        ChooseFile;
    std::function<void(const QString&)> ShowMessage;
    std::function<bool(const QString& path)> OpenDocument;

private:
    void ShowDetails();
    void UpdateButtons();
    void FillNameLists();

    std::unique_ptr<Ui::SiteBookWindow> ui;
    SiteBook& m_book;
    QList<Visit> m_visits;
    std::optional<Visit> m_chosen;
};
