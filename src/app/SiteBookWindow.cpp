#include "SiteBookWindow.h"

#include "ConfigFile.h"
#include "CsvText.h"
#include "NameSuggestions.h"
#include "SaveDialog.h"
#include "SiteBook.h"
#include "VisitDetails.h"
#include "VisitText.h"
#include "ui_SiteBookWindow.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QMessageBox>
#include <QSaveFile>
#include <QShortcut>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace {

const QStringList ListTitles{QStringLiteral("Started"), QStringLiteral("Ended"),
                             QStringLiteral("Site"),    QStringLiteral("Detector"),
                             QStringLiteral("Port"),    QStringLiteral("User"),
                             QStringLiteral("Writes"),  QStringLiteral("Stored"),
                             QStringLiteral("Outcome"), QStringLiteral("Report")};

QString Local(const QDateTime& time) {
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                          : QString();
}

} // namespace

SiteBookWindow::SiteBookWindow(SiteBook& book, QWidget* parent)
    : QWidget(parent, Qt::Window), ui(std::make_unique<Ui::SiteBookWindow>()), m_book(book) {
    ui->setupUi(this);
    ui->Table_Visits->setColumnCount(static_cast<int>(ListTitles.size()));
    ui->Table_Visits->setHorizontalHeaderLabels(ListTitles);
    ui->Table_Visits->verticalHeader()->hide();
    ui->Table_Visits->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    ui->Table_Visits->horizontalHeader()->setStretchLastSection(true);
    ui->Splitter->setSizes({260, 300});

    ChooseFile = [this](const QString& title, const QString& filter, const QString& suffix,
                        const QString& name) {
        return ChooseSaveFileName(this, title, {filter}, suffix, name);
    };
    ShowMessage = [this](const QString& text) { QMessageBox::warning(this, windowTitle(), text); };
    OpenDocument = [](const QString& path) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };

    // Typing in a filter reads the book again once the typing pauses.
    auto* pause = new QTimer(this);
    pause->setSingleShot(true);
    pause->setInterval(250);
    connect(pause, &QTimer::timeout, this, &SiteBookWindow::Refresh);
    for (QComboBox* names : {ui->ComboBox_Site, ui->ComboBox_Detector})
        connect(names, &QComboBox::editTextChanged, pause, qOverload<>(&QTimer::start));
    connect(ui->Edit_Text, &QLineEdit::textChanged, pause, qOverload<>(&QTimer::start));
    connect(ui->Table_Visits, &QTableWidget::itemSelectionChanged, this,
            &SiteBookWindow::ShowDetails);
    connect(ui->Button_SaveConfig, &QPushButton::clicked, this, [this] {
        if (!m_chosen)
            return;
        const QString path =
            ChooseFile(QStringLiteral("Save Config"), QStringLiteral("bin (*.bin)"),
                       QStringLiteral("bin"), QStringLiteral("config.bin"));
        if (!path.isEmpty())
            SaveConfig(path);
    });
    connect(ui->Button_OpenReport, &QPushButton::clicked, this, &SiteBookWindow::OpenReport);
    connect(ui->Button_ExportCsv, &QPushButton::clicked, this, [this] {
        const QString path = ChooseFile(QStringLiteral("Export CSV"), QStringLiteral("CSV (*.csv)"),
                                        QStringLiteral("csv"), QStringLiteral("site-book.csv"));
        if (!path.isEmpty())
            ExportCsv(path);
    });
    connect(ui->Button_Close, &QPushButton::clicked, this, &QWidget::close);
    new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &QWidget::close);
    UpdateButtons();
}

SiteBookWindow::~SiteBookWindow() = default;

void SiteBookWindow::FillNameLists() {
    QStringList sites, detectors;
    if (!m_book.Names(sites, detectors))
        return;
    ::SetNameSuggestions(ui->ComboBox_Site, sites);
    ::SetNameSuggestions(ui->ComboBox_Detector, detectors);
}

void SiteBookWindow::Refresh() {
    FillNameLists();
    VisitFilter filter;
    filter.site = ui->ComboBox_Site->currentText().trimmed();
    filter.detector = ui->ComboBox_Detector->currentText().trimmed();
    filter.text = ui->Edit_Text->text().trimmed();
    const QString chosenId = m_chosen ? m_chosen->id : QString();
    if (!m_book.History(filter, m_visits)) {
        m_visits.clear();
        ui->Label_Count->setText(m_book.Error());
    } else {
        ui->Label_Count->setText(m_visits.size() == 1
                                     ? QStringLiteral("1 visit")
                                     : QStringLiteral("%1 visits").arg(m_visits.size()));
    }
    QTableWidget* table = ui->Table_Visits;
    const QSignalBlocker block(table);
    table->clearContents();
    table->setRowCount(static_cast<int>(m_visits.size()));
    int chosenRow = -1;
    for (int r = 0; r < m_visits.size(); ++r) {
        const Visit& v = m_visits[r];
        const QStringList cells{Local(v.started),
                                v.Ended() ? Local(v.ended) : QStringLiteral("not ended"),
                                v.site,
                                v.detector,
                                v.port,
                                v.user,
                                QString::number(v.writeCount),
                                v.stored ? QStringLiteral("yes") : QStringLiteral("no"),
                                v.outcome,
                                QFileInfo(v.report).fileName()};
        for (int c = 0; c < cells.size(); ++c)
            table->setItem(r, c, new QTableWidgetItem(cells[c]));
        if (v.id == chosenId)
            chosenRow = r;
    }
    table->resizeColumnsToContents();
    // The visit chosen before stays chosen; else the newest is.
    if (chosenRow < 0 && !m_visits.isEmpty())
        chosenRow = 0;
    if (chosenRow >= 0)
        table->selectRow(chosenRow);
    else
        table->clearSelection();
    ShowDetails();
}

void SiteBookWindow::SelectRow(int row) {
    ui->Table_Visits->selectRow(row);
}

void SiteBookWindow::ShowDetails() {
    const QList<QTableWidgetItem*> selected = ui->Table_Visits->selectedItems();
    const int row = selected.isEmpty() ? -1 : selected.constFirst()->row();
    m_chosen.reset();
    if (row >= 0 && row < m_visits.size() && !m_book.Load(m_visits[row].id, m_chosen))
        ui->Text_Details->setPlainText(m_book.Error());
    else
        ui->Text_Details->setHtml(m_chosen ? VisitDetailsHtml(*m_chosen) : QString());
    UpdateButtons();
}

QString SiteBookWindow::DetailsText() const {
    return ui->Text_Details->toPlainText();
}

void SiteBookWindow::UpdateButtons() {
    ui->Button_SaveConfig->setEnabled(m_chosen && m_chosen->left.size() == DetectorConfig::Size);
    ui->Button_OpenReport->setEnabled(m_chosen && !m_chosen->report.isEmpty());
}

bool SiteBookWindow::SaveConfig(const QString& path) {
    if (!m_chosen || m_chosen->left.size() != DetectorConfig::Size)
        return false;
    DetectorConfig config;
    std::copy(m_chosen->left.cbegin(), m_chosen->left.cend(), config.Bytes.begin());
    const FileError error = WriteConfigFile(path, config);
    if (!error.isEmpty() && ShowMessage)
        ShowMessage(error);
    return error.isEmpty();
}

bool SiteBookWindow::ExportCsv(const QString& path) {
    QList<QStringList> records{VisitColumnTitles()};
    for (const Visit& v : m_visits)
        records << VisitFields(v);
    // Written whole or not at all: an earlier file of that name stays as it was.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(CsvText(records));
        if (file.commit())
            return true;
    }
    if (ShowMessage)
        ShowMessage(QStringLiteral("Cannot write \"%1\": %2")
                        .arg(QDir::toNativeSeparators(path), file.errorString()));
    return false;
}

void SiteBookWindow::OpenReport() {
    if (!m_chosen || m_chosen->report.isEmpty())
        return;
    QString path = m_chosen->report;
    // The file may have been moved or lie on another machine: the copy the
    // book keeps is opened instead.
    if (!QFileInfo::exists(path) && !m_chosen->reportPdf.isEmpty()) {
        path = QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation))
                   .filePath(QStringLiteral("report-%1.pdf").arg(m_chosen->id));
        QSaveFile copy(path);
        if (!copy.open(QIODevice::WriteOnly) || copy.write(m_chosen->reportPdf) < 0 ||
            !copy.commit()) {
            if (ShowMessage)
                ShowMessage(QStringLiteral("Cannot write \"%1\": %2")
                                .arg(QDir::toNativeSeparators(path), copy.errorString()));
            return;
        }
    }
    if (!QFileInfo::exists(path)) {
        if (ShowMessage)
            ShowMessage(QStringLiteral("The report \"%1\" is not there any more.")
                            .arg(QDir::toNativeSeparators(path)));
        return;
    }
    if (OpenDocument && !OpenDocument(path) && ShowMessage)
        ShowMessage(QStringLiteral("No program opens \"%1\".").arg(QDir::toNativeSeparators(path)));
}
