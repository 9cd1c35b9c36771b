// The captions that follow a state (Connect and Disconnect, Mute Siren),
// the log's alarm column, and Help > About.
#include "TMainForm.h"

#include "EventRecord.h"
#include "StringGrid.h"
#include "ui_TMainForm.h"

#include <QAction>
#include <QFontMetrics>
#include <QMessageBox>
#include <QToolBar>

#include <algorithm>

// Connect and Disconnect keep a mnemonic in both captions: Alt+N on the
// action bar, Alt+C or Alt+D on the menu bar (the keys differ, so neither
// shadows the other).
void TMainForm::FollowConnectCaption() {
    QAction* barItem =
        ui->ActionMainMenuBar1->findChild<QAction*>(QStringLiteral("ActionMainMenuBar1_Action2"));
    const auto follow = [this, barItem] {
        const bool connect = ui->Action2->text() != QLatin1String("Disconnect");
        ui->Connect1->setText(connect ? QStringLiteral("&Connect") : QStringLiteral("&Disconnect"));
        ui->Connect1->setIconText(ui->Connect1->text());
        if (barItem) {
            barItem->setText(connect ? QStringLiteral("Co&nnect") : QStringLiteral("Disco&nnect"));
            barItem->setIconText(barItem->text());
        }
    };
    follow();
    // Runs after the bound items took the new caption.
    connect(ui->Action2, &QAction::changed, this, follow);
}

// The caption says what a click does; the menu bar, which cannot show an
// item pressed, also says the sound is off.
void TMainForm::FollowMuteState(bool muted) {
    ui->MuteSiren1->setText(muted ? QStringLiteral("&Sound Siren (muted)")
                                  : QStringLiteral("&Mute Siren"));
    if (auto* barItem = ui->ActionMainMenuBar1->findChild<QAction*>(
            QStringLiteral("ActionMainMenuBar1_MuteSiren1")))
        barItem->setText(muted ? QStringLiteral("&Sound Siren") : QStringLiteral("&Mute Siren"));
}

// "Fail DOWN PIR", the longest alarm name, is shown whole; the width comes
// from the row-number column, which needs little.
void TMainForm::WidenAlarmColumn() {
    StringGrid* grid = ui->StringGrid1;
    const QFontMetrics metrics(grid->font());
    int widest = 0;
    for (int bit = 0; bit < 16; ++bit)
        widest = std::max(widest, metrics.horizontalAdvance(
                                      EventTypeText(static_cast<std::uint16_t>(1u << bit))));
    const int needed = widest + 12; // the cell's margins and grid line
    const int missing = needed - grid->columnWidth(1);
    if (missing <= 0)
        return;
    grid->setColumnWidth(1, needed);
    // The row numbers give up what they can spare, never so much that "10"
    // is cut; with a wide font the grid grows instead.
    const int rowNumbers = metrics.horizontalAdvance(QStringLiteral("10 ")) + 12;
    grid->setColumnWidth(0, std::max({30, rowNumbers, grid->columnWidth(0) - missing}));
}

void TMainForm::About1Execute() {
    QMessageBox::about(
        this, QStringLiteral("About Configuration Tools"),
        QStringLiteral("<p><b>Configuration Tools</b><br>Version %1</p>"
                       "<p>Configuration and diagnostics of the outdoor triple-technology "
                       "detector.</p>"
                       "<p>Copyright (c) 2026 Configuration Tools developers.<br>"
                       "Released under the MIT License.</p>"
                       "<p>Built with Qt %2, used under the GNU Lesser General Public License "
                       "version 3.</p>")
            .arg(QStringLiteral(DCT_VERSION), QString::fromLatin1(qVersion())));
}
