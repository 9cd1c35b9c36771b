#include "TFormWalkTest.h"

#include "SaveDialog.h"
#include "Siren.h"
#include "WalkChime.h"
#include "ui_TFormWalkTest.h"

#include <QDateTime>
#include <QDir>
#include <QHeaderView>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>

const QColor TFormWalkTest::SetColour{255, 214, 0};

namespace {

// Read from a few metres away: rows and counts at about three times the
// main window's type, the time larger still.
constexpr int RowPixels = 26;
constexpr int CountPixels = 26;
constexpr int ElapsedPixels = 44;
constexpr int ButtonPixels = 18;
constexpr int RowBatch = 64;

QFont Sized(QFont font, int pixels, bool bold) {
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

} // namespace

TFormWalkTest::TFormWalkTest(const Siren& siren, QWidget* parent)
    : QWidget(parent, Qt::Window), ui(std::make_unique<Ui::TFormWalkTest>()), m_siren(siren),
      m_chime(new WalkChime(this)), m_clock(new QTimer(this)) {
    ui->setupUi(this);
    Now = [] { return QDateTime::currentMSecsSinceEpoch(); };
    ChooseFile = [this] {
        return ChooseSaveFileName(this, QStringLiteral("Export CSV"),
                                  {QStringLiteral("CSV (*.csv)"), QStringLiteral("All files (*)")},
                                  QStringLiteral("csv"), QStringLiteral("walk-test.csv"));
    };
    ShowMessage = [this](const QString& text) { QMessageBox::warning(this, windowTitle(), text); };

    const QFont base = font();
    for (QWidget* w :
         {static_cast<QWidget*>(ui->Button_Start), static_cast<QWidget*>(ui->Button_Stop),
          static_cast<QWidget*>(ui->Button_Clear), static_cast<QWidget*>(ui->Button_ExportCsv),
          static_cast<QWidget*>(ui->CheckBox_Sound), static_cast<QWidget*>(ui->Label_State)})
        w->setFont(Sized(base, ButtonPixels, false));
    ui->Label_Elapsed->setFont(Sized(base, ElapsedPixels, true));
    ui->Label_Counts->setFont(Sized(base, CountPixels, true));
    // Fixed sizes: a count or a second more changes a text, never the layout,
    // so a status repaints only that label and the rows it changed.
    ui->Label_Counts->setFixedHeight(QFontMetrics(ui->Label_Counts->font()).lineSpacing() * 3);
    ui->Label_Counts->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ui->Label_Elapsed->setMinimumWidth(
        QFontMetrics(ui->Label_Elapsed->font()).horizontalAdvance(QStringLiteral("000:00:00")));
    // Labels that paint their own background: a new text repaints the label
    // alone, not the window behind it.
    for (QLabel* label : {ui->Label_Elapsed, ui->Label_Counts, ui->Label_State})
        label->setAutoFillBackground(true);
    QTableWidget* table = ui->Table_Events;
    table->setFont(Sized(base, RowPixels, false));
    table->horizontalHeader()->setFont(Sized(base, ButtonPixels, true));
    table->setHorizontalHeaderLabels(
        {QStringLiteral("Start"), QStringLiteral("Event"), QStringLiteral("ms"),
         QStringLiteral("MW"), QStringLiteral("Pir High above"), QStringLiteral("Pir Down Under")});
    table->verticalHeader()->setDefaultSectionSize(RowPixels + 12);
    const int widths[] = {200, 290, 100, 80, 180};
    for (int c = 0; c < 5; ++c)
        table->setColumnWidth(c, widths[c]);

    connect(ui->Button_Start, &QPushButton::clicked, this, &TFormWalkTest::Button_StartClick);
    connect(ui->Button_Stop, &QPushButton::clicked, this, &TFormWalkTest::Button_StopClick);
    connect(ui->Button_Clear, &QPushButton::clicked, this, &TFormWalkTest::Button_ClearClick);
    connect(ui->Button_ExportCsv, &QPushButton::clicked, this,
            &TFormWalkTest::Button_ExportCsvClick);
    // The time since Start moves on even while no status comes (the LOGS
    // page, a slow line): once a second is all it shows.
    m_clock->setInterval(1000);
    connect(m_clock, &QTimer::timeout, this, &TFormWalkTest::ShowElapsed);
    ShowState();
    UpdateButtons();
}

TFormWalkTest::~TFormWalkTest() = default;

void TFormWalkTest::SetLinkUp(bool up) {
    m_linkUp = up;
    UpdateButtons();
}

void TFormWalkTest::Button_StartClick() {
    if (!m_linkUp || m_test.Running())
        return;
    m_test.Start(Now());
    m_clock->start();
    ShowElapsed();
    ShowState();
    UpdateButtons();
}

void TFormWalkTest::Button_StopClick() {
    if (!m_test.Running())
        return;
    m_test.Stop();
    m_clock->stop();
    RefreshOpenRows();
    ShowState();
    UpdateButtons();
}

void TFormWalkTest::LinkLost() {
    if (!m_test.Running())
        return;
    m_test.LinkLost(Now());
    m_clock->stop();
    RefreshOpenRows();
    ShowState();
    UpdateButtons();
}

void TFormWalkTest::Button_ClearClick() {
    if (m_test.Running())
        return;
    m_test.Clear();
    m_litRows.clear();
    ui->Table_Events->setRowCount(0);
    ui->Label_Counts->setText(WalkCountsText(m_test.Counts()));
    ui->Label_Elapsed->setText(QStringLiteral("00:00:00"));
    ShowState();
    UpdateButtons();
}

void TFormWalkTest::LiveStatusReport(const LiveStatus& status, bool direct) {
    if (!m_test.Running())
        return;
    const std::int64_t now = Now();
    const WalkTest::Change change = m_test.Feed(status, direct, now);
    if (change.Ended || (change.Changed && now - m_peaksShownMs >= PeaksEveryMs)) {
        RefreshOpenRows();
        m_peaksShownMs = now;
    }
    if (change.NewRows > 0) {
        AppendRows(change.NewRows);
        ui->Label_Counts->setText(WalkCountsText(m_test.Counts()));
        if (ui->CheckBox_Sound->isChecked() && !m_siren.Muted())
            m_chime->Play();
        UpdateButtons();
    }
    ShowElapsed();
}

void TFormWalkTest::AppendRows(int count) {
    QTableWidget* table = ui->Table_Events;
    const int first = static_cast<int>(m_test.Events().size()) - count;
    // Rows are added a batch at a time, left blank until used: adding one
    // row repaints the whole table, filling a blank one only that row.
    if (table->rowCount() < first + count)
        table->setRowCount(first + count + RowBatch);
    for (int row = first; row < first + count; ++row) {
        for (int c = 0; c < table->columnCount(); ++c)
            table->setItem(row, c, new QTableWidgetItem);
        ShowRow(row);
        m_litRows.push_back(row);
    }
    table->scrollToItem(table->item(first + count - 1, 0));
}

// Rows lit until now: their flags may have cleared or their peaks risen.
void TFormWalkTest::RefreshOpenRows() {
    std::erase_if(m_litRows, [this](int row) {
        ShowRow(row);
        return !m_test.Open(static_cast<std::size_t>(row));
    });
}

void TFormWalkTest::ShowRow(int row) {
    const WalkEvent& e = m_test.Events()[static_cast<std::size_t>(row)];
    const bool open = m_test.Open(static_cast<std::size_t>(row));
    QStringList texts = WalkEventTexts(e);
    // The date is the same all day: the time alone reads faster.
    texts[0] = QDateTime::fromMSecsSinceEpoch(e.StartMs).toString(QStringLiteral("HH:mm:ss.zzz"));
    texts[2] = WalkDurationShown(e, open);
    QTableWidget* table = ui->Table_Events;
    for (int c = 0; c < table->columnCount(); ++c) {
        QTableWidgetItem* item = table->item(row, c);
        // Items compare before they notify: an unchanged text repaints nothing.
        item->setText(texts[c]);
        item->setBackground(open ? QBrush(SetColour) : QBrush());
        if (c >= 2)
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
}

void TFormWalkTest::ShowElapsed() {
    if (!m_test.Running())
        return;
    const std::int64_t s = std::max<std::int64_t>(0, (Now() - m_test.StartedMs()) / 1000);
    ui->Label_Elapsed->setText(QStringLiteral("%1:%2:%3")
                                   .arg(s / 3600, 2, 10, QLatin1Char('0'))
                                   .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                                   .arg(s % 60, 2, 10, QLatin1Char('0')));
}

void TFormWalkTest::ShowState() {
    QString text;
    QString style;
    if (m_test.Running()) {
        text = QStringLiteral("Running since %1")
                   .arg(QDateTime::fromMSecsSinceEpoch(m_test.StartedMs())
                            .toString(QStringLiteral("HH:mm:ss")));
    } else if (m_test.LinkLostMs()) {
        text = QStringLiteral("Stopped: the link was lost at %1")
                   .arg(QDateTime::fromMSecsSinceEpoch(*m_test.LinkLostMs())
                            .toString(QStringLiteral("HH:mm:ss.zzz")));
        style = QStringLiteral("color: rgb(200, 0, 0); font-weight: bold;");
    } else {
        text = m_test.Events().empty() ? QStringLiteral("Not started") : QStringLiteral("Stopped");
    }
    ui->Label_State->setText(text);
    ui->Label_State->setStyleSheet(style);
}

void TFormWalkTest::UpdateButtons() {
    const bool running = m_test.Running();
    ui->Button_Start->setEnabled(m_linkUp && !running);
    ui->Button_Stop->setEnabled(running);
    ui->Button_Clear->setEnabled(!running && !m_test.Events().empty());
    ui->Button_ExportCsv->setEnabled(!m_test.Events().empty());
}

void TFormWalkTest::Button_ExportCsvClick() {
    const QString path = ChooseFile ? ChooseFile() : QString();
    if (!path.isEmpty())
        ExportCsv(path);
}

bool TFormWalkTest::ExportCsv(const QString& path) {
    const QString error = WriteWalkCsv(path, m_test.Events());
    if (error.isEmpty())
        return true;
    if (ShowMessage)
        ShowMessage(QStringLiteral("The walk test was not exported to %1: %2")
                        .arg(QDir::toNativeSeparators(path), error));
    return false;
}
