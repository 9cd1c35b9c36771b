#include "TMainForm.h"

#include "ActionImages.h"
#include "ActionMirror.h"
#include "ComSetup.h"
#include "ConfigTexts.h"
#include "EventRecord.h"
#include "FindControl.h"
#include "KeyboardAccess.h"
#include "LevelBarStyle.h"
#include "TGraphics.h"
#include "TMainFormNames.h"
#include "WindowSystemFlush.h"
#include "ui_TMainForm.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

namespace {

// Height of the client area below the menu bar: action bar 34, pages 368,
// status bar 22.
constexpr int kClientWidth = 1009;
constexpr int kClientHeight = 424;

// The last two panels, beyond the window's usual four, show the port in use
// and when the configuration was last stored to flash.
const QList<int> kStatusPanelWidths{100, 400, 200, 50, 110, 149};
const QList<int> kLogColumnWidths{75, 73, 75, 117, 122, 103, 134, 102, 101, 75};
constexpr int kLogRowHeight = 24;

} // namespace

TMainForm::TMainForm(Wiring wiring, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::TMainForm>()), m_wiring(wiring),
      m_timer1(new QTimer(this)), m_timer2(new QTimer(this)) {
    EndProcess = [](int code) {
        std::fflush(nullptr);
        std::_Exit(code);
    };
    ui->setupUi(this);
    BuildDesign();
    FormCreate(QCoreApplication::applicationDirPath());
    SetUpConfigurationControls(this);
    NameMainFormControls(this);
}

TMainForm::~TMainForm() = default;

// Everything the form file cannot express: fonts, sizes that follow the menu
// bar, images, action bar items, timers, the status panels and the grid.
void TMainForm::BuildDesign() {
    QFont font = this->font();
    font.setFamilies({"Tahoma", "DejaVu Sans Condensed", "DejaVu Sans"});
    font.setPixelSize(11);
    setFont(font);

    m_timer1->setObjectName("Timer1");
    m_timer1->setInterval(FadeTickMs);
    m_timer2->setObjectName("Timer2");
    m_timer2->setInterval(10);
    connect(m_timer1, &QTimer::timeout, this, &TMainForm::Timer1Timer);

    m_images = DrawActionImages();
    const std::pair<QAction*, int> imageIndex[] = {
        {ui->Action1, 4}, {ui->Action2, 2}, {ui->FileOpen1, 0}, {ui->FileSaveAs1, 1},
        {ui->Action4, 1}, {ui->Action3, 5}, {ui->Action5, 8},
    };
    for (const auto& [action, index] : imageIndex) {
        action->setIcon(m_images[index]);
        // Shortcuts of the actions work from anywhere in the window.
        addAction(action);
    }
    addAction(ui->MuteSiren1);
    addAction(ui->WalkTest1);
    ui->FileOpen1->setProperty("category", "File");
    ui->FileSaveAs1->setProperty("category", "File");
    ui->FileOpen1->setProperty("filter", "bin (*.bin)");
    ui->FileSaveAs1->setProperty("filter", "bin (*.bin)");

    // Menu items bound to actions. The File menu's third item is bound to the
    // store-to-flash action, and the link also enables it directly.
    MirrorAction(ui->LoadConfig1, ui->FileOpen1);
    MirrorAction(ui->SaveConfig1, ui->FileSaveAs1);
    MirrorAction(ui->CommSetup1, ui->Action4);
    MirrorAction(ui->Connect1, ui->Action2);
    MirrorAction(ui->StoreToFlash1, ui->Action4);
    BuildActionBar();

    connect(ui->Action1, &QAction::triggered, this, &TMainForm::Action1Execute);
    connect(ui->Action3, &QAction::triggered, this, &TMainForm::Action3Execute);
    connect(ui->Action5, &QAction::triggered, this, &TMainForm::Action5Execute);
    connect(ui->About1, &QAction::triggered, this, &TMainForm::About1Execute);
    FollowConnectCaption();
    FollowMuteState(ui->MuteSiren1->isChecked());
    connect(ui->MuteSiren1, &QAction::toggled, this, &TMainForm::FollowMuteState);

    ui->StatusBar_form->setPanelWidths(kStatusPanelWidths);

    for (int c = 0; c < kLogColumnWidths.size(); ++c)
        ui->StringGrid1->setColumnWidth(c, kLogColumnWidths[c]);
    for (int r = 0; r < ui->StringGrid1->rowCount(); ++r)
        ui->StringGrid1->setRowHeight(r, kLogRowHeight);
    WidenAlarmColumn();

    // The log's context menu; its commands are connected by the log view.
    m_popupMenu2 = new QMenu(ui->GroupBox_Log);
    m_popupMenu2->setObjectName("PopupMenu2");
    m_popupMenu2->addAction(ui->Clear1);
    m_popupMenu2->addAction(ui->ExportCsv1);
    connect(ui->GroupBox_Log, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_popupMenu2->popup(ui->GroupBox_Log->mapToGlobal(pos)); });
    connect(ui->StringGrid1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        m_popupMenu2->popup(ui->StringGrid1->viewport()->mapToGlobal(pos));
    });

    // An idle bar shows no fill, not even the edge line of an empty one.
    auto* barStyle = new LevelBarStyle(this);
    for (QProgressBar* bar : findChildren<QProgressBar*>())
        bar->setStyle(barStyle);

    // The self-test background is lit red by the live view and otherwise
    // takes the button face colour of the window.
    ui->Shape_DiagnosticOn->setOffColor(palette().color(QPalette::Button));
    ui->Shape_DiagnosticOn->setBrushColor(palette().color(QPalette::Button));

    // Fixed frame with a close box only; the menu bar sits above the client area.
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, ui->MainMenu1->sizeHint().height() + kClientHeight);
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

// The action bar shows its own captions for some actions until the action's
// caption changes, and always the action's enabled state.
void TMainForm::BuildActionBar() {
    QToolBar* bar = ui->ActionMainMenuBar1;
    auto addItem = [&](QAction* action, const QString& caption, int image) {
        auto* item = new QAction(caption, bar);
        item->setObjectName(QStringLiteral("ActionMainMenuBar1_") + action->objectName());
        item->setIcon(m_images[image]);
        MirrorAction(item, action);
        bar->addAction(item);
    };
    bar->addSeparator();
    addItem(ui->FileOpen1, ui->FileOpen1->text(), 0);
    bar->addSeparator();
    addItem(ui->FileSaveAs1, ui->FileSaveAs1->text(), 1);
    bar->addSeparator();
    addItem(ui->Action2, "Co&nnect", 2);
    bar->addSeparator();
    addItem(ui->Action4, "&Store To Flash", 1);
    bar->addSeparator();
    addItem(ui->Action3, "Se&tUp COM", 5);
    bar->addSeparator();
    addItem(ui->Action5, "&View Graphic", 8);
    bar->addSeparator();
    // Its own item with the bell, shown pressed while the sound is muted; the
    // menu bar shows the action's caption, which an image would replace.
    auto* mute = new QAction(ui->MuteSiren1->text(), bar);
    mute->setObjectName(QStringLiteral("ActionMainMenuBar1_MuteSiren1"));
    mute->setIcon(m_images[9]);
    mute->setCheckable(true);
    mute->setToolTip(ui->MuteSiren1->toolTip());
    connect(mute, &QAction::toggled, ui->MuteSiren1, &QAction::setChecked);
    connect(ui->MuteSiren1, &QAction::toggled, mute, &QAction::setChecked);
    bar->addAction(mute);
    bar->addSeparator()->setVisible(false);
    addItem(ui->Action1, "&Exit", 4);
    bar->addSeparator();
}

void TMainForm::FormCreate(const QString& programFolder) {
    SetWindowAlpha(0);
    ApplyInterfaceTexts();
    m_sirenPath = LocateSirenFile(programFolder);
}

QString TMainForm::LocateSirenFile(const QString& programFolder) {
    const QString beside = FindSirenFile(programFolder);
    if (!beside.isEmpty())
        return beside;
    // An installed program (bin/) keeps its data in share/detector-config/
    // under the same prefix; the program's own folder still wins, so a copy
    // beside it replaces the installed sound.
    return FindSirenFile(QDir::cleanPath(programFolder + "/../share/detector-config"));
}

QString TMainForm::FindSirenFile(const QString& folder) {
    const QDir dir(folder);
    const QString exact = dir.filePath("SIREN1.WAV");
    if (QFileInfo(exact).isFile())
        return exact;
    // Name filters ignore letter case, as the file system of the detector's
    // usual host does.
    const QStringList found = dir.entryList({"SIREN1.WAV"}, QDir::Files | QDir::Readable);
    return found.isEmpty() ? QString() : dir.filePath(found.first());
}

void TMainForm::ApplyInterfaceTexts() {
    // 1. The activity bar fills panel 2 of the status bar.
    ui->ProgressBar_serial->setParent(ui->StatusBar_form);
    ui->ProgressBar_serial->setGeometry(ui->StatusBar_form->panelRect(2));
    ui->ProgressBar_serial->setValue(0);
    ui->ProgressBar_serial->show();

    // 2. Log grid: row numbers, then the headers.
    StringGrid* grid = ui->StringGrid1;
    for (int r = 1; r < grid->rowCount(); ++r)
        grid->setCell(0, r, QString::number(r) + " ");
    const auto headers = EventColumnTitles();
    for (int c = 1; c <= 9; ++c)
        grid->setCell(c, 0, headers[static_cast<std::size_t>(c - 1)]);

    // 3. Window and panel captions.
    setWindowTitle("Configuration Tools");
    ui->MW->setTitle(ChannelCaption(DetectorConfig::ChannelMw));
    ui->PIR1->setTitle(ChannelCaption(DetectorConfig::ChannelPir1));
    ui->PIR2->setTitle(ChannelCaption(DetectorConfig::ChannelPir2));
    ui->SETUP->setTitle("SETUP");

    // 4. Actions; bound items follow the changed captions.
    ui->FileOpen1->setText("&Open Config...");
    ui->FileSaveAs1->setText("&Save &Config...");
    ui->Action1->setText("Exit");
    ui->Action2->setText("Connect");
    ui->Action3->setText("SetUp COM");
    ui->Action4->setText("Store To Flash");
    ui->Action5->setText("View Graphic");

    // 5. Channel panels.
    for (QGroupBox* g : {ui->GroupBox_Mw_Rate, ui->GroupBox_Pir1_Rate, ui->GroupBox_Pir2_Rate})
        g->setTitle("Rate   Speed");
    for (QGroupBox* g : {ui->GroupBox_Mw_Pulse, ui->GroupBox_Pir1_Pulse, ui->GroupBox_Pir2_Pulse})
        g->setTitle("Pulse");
    for (QLabel* l : {ui->Label40, ui->Label16, ui->Label22})
        l->setText("Max");
    for (QLabel* l : {ui->Label41, ui->Label14, ui->Label39})
        l->setText("Min");

    // 6. Lens lists. Their handler runs on a user's choice only, so
    // selecting "User" here changes no range.
    const QStringList lenses = LensItemTexts();
    for (QComboBox* lens : {ui->ComboBox_Pir1_Lens, ui->ComboBox_Pir2_Lens}) {
        lens->clear();
        lens->addItems(lenses);
        lens->setCurrentIndex(0);
    }

    // 7. Mask and noise bar labels.
    for (QLabel* l : {ui->Label17, ui->Label35, ui->Label37})
        l->setText("M");
    for (QLabel* l : {ui->Label25, ui->Label31, ui->Label36})
        l->setText("N");

    // 8. SETUP group.
    ui->GroupBox11->setTitle("Enable/Disable");
    ui->GroupBox12->setTitle("Noise reduction");
    for (const auto* boxes : {&EnableFlagBoxes(), &NoiseFlagBoxes()})
        for (const FlagBoxText& box : *boxes)
            if (box.Visible)
                FindControl<QCheckBox>(this, box.ObjectName)->setText(box.Caption);
    ui->GroupBox7->setTitle("Time AND");

    struct Output {
        QGroupBox* group;
        QCheckBox* enable;
        RadioGroup* function;
        QGroupBox* technologies;
        QCheckBox *mw, *pir1, *pir2;
        RadioGroup* ncno;
    };
    const Output outputs[] = {
        {ui->GroupBox_Output1, ui->CheckBox_Out1Enable, ui->RadioGroup_FuncOut1,
         ui->GroupBox_Out1_Tecnologies, ui->CheckBox_Out1Mw, ui->CheckBox_Out1Pir1,
         ui->CheckBox_Out1Pir2, ui->RadioGroup_NCOut1},
        {ui->GroupBox_Output2, ui->CheckBox_Out2Enable, ui->RadioGroup_FuncOut2,
         ui->GroupBox_Out2_Tecnologies, ui->CheckBox_Out2Mw, ui->CheckBox_Out2Pir1,
         ui->CheckBox_Out2Pir2, ui->RadioGroup_NCOut2},
        {ui->GroupBox_Output3, ui->CheckBox_Out3Enable, ui->RadioGroup_FuncOut3,
         ui->GroupBox_Out3_Tecnologies, ui->CheckBox_Out3Mw, ui->CheckBox_Out3Pir1,
         ui->CheckBox_Out3Pir2, ui->RadioGroup_NCOut3},
    };
    const QStringList functions = FunctionItemTexts();
    for (int i = 0; i < 3; ++i) {
        const Output& o = outputs[i];
        const QString name = QString("Out #%1").arg(i + 1);
        o.group->setTitle(name);
        o.enable->setText("Enable");
        // Emptied first: no function is selected until the detector reports one.
        o.function->clearItems();
        o.function->setTitle("Function");
        for (const QString& f : functions)
            o.function->addItem(f);
        o.technologies->setTitle("Tecnologies");
        o.mw->setText(TechnologyCaption(OutMw));
        o.pir1->setText(TechnologyCaption(OutPir1));
        o.pir2->setText(TechnologyCaption(OutPir2));
        o.ncno->setTitle(name);
        if (o.ncno->items() != ContactItemTexts())
            o.ncno->setItems(ContactItemTexts());
    }
    ui->GroupBox17->setTitle("AUTO TEST");
    ui->GroupBox6->setTitle("TAMPER");
    ui->GroupBox8->setTitle("Auto Test (24h)");
    ui->GroupBox9->setTitle("MW");
    ui->GroupBox10->setTitle("A. Pir");
    ui->GroupBox18->setTitle("U. Pir");
    ui->GroupBox19->setTitle("Low Voltage");
    ui->GroupBox21->setTitle("CPU");

    // 9. Pages and the temperature panel.
    ui->PageControl1->setTabText(ui->PageControl1->indexOf(ui->TabSheet1), "VIEW");
    ui->PageControl1->setTabText(ui->PageControl1->indexOf(ui->TabSheet2), "LOGS");
    ui->NTC->setTitle("Ntc");

    // 10. Connection state.
    ui->StatusBar_form->setPanelText(0, "Disconnect");
}

void TMainForm::SetWindowAlpha(int alpha) {
    // Only the low 8 bits are an opacity; where the platform cannot make a
    // window translucent this has no visible effect, and the fade keeps its
    // timing regardless.
    m_appliedAlpha = alpha & 0xFF;
    setWindowOpacity(m_appliedAlpha / 255.0);
    // Each step must reach the screen in its own tick, not when some later
    // input wakes the window system up.
    FlushWindowSystem();
}

void TMainForm::SetComSetup(TFormCom* dialog) {
    m_comSetup = dialog;
}

TFormCom* TMainForm::ComSetup() const {
    return m_comSetup;
}

void TMainForm::SetGraphics(QWidget* graphics) {
    m_graphics = graphics;
}

bool TMainForm::event(QEvent* event) {
    // Action hints are tool tips only; the status bar's panels are not
    // overwritten by them.
    if (event->type() == QEvent::StatusTip)
        return true;
    return QMainWindow::event(event);
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // The window system also reports a show when a minimised window comes
    // back; only the program's own showing of the window starts the fade.
    if (!event->spontaneous())
        FormShow();
}

void TMainForm::FormShow() {
    m_fade.StartFadeIn();
    m_timer1->setInterval(FadeTickMs);
    m_timer1->start();
    if (onShowGraphSide)
        onShowGraphSide();
    if (onShowLinkSide)
        onShowLinkSide();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    // A close request never closes the window: it runs Exit, whose fade-out
    // ends the process.
    event->ignore();
    Action1Execute();
}

void TMainForm::Action1Execute() {
    if (confirmLeavingDetector && !m_exitConfirmed) {
        confirmLeavingDetector([this] { ExitNow(); });
        return;
    }
    ExitNow();
}

void TMainForm::ExitNow() {
    m_exitConfirmed = true;
    if (onExitLinkSide)
        onExitLinkSide();
    m_timer2->stop();
    m_fade.StartFadeOut();
    if (m_comSetup && m_comSetup->isVisible()) {
        m_comSetup->hide();
        delete m_comSetup.data(); // the pointer clears itself: never used again
    }
    m_timer1->start();
}

// Choosing a port leaves no detector: the link stays on its port until
// Disconnect, which asks about unstored changes.
void TMainForm::Action3Execute() {
    if (!m_comSetup)
        return;
    // Ports come and go while the program runs (USB adapters): list what is
    // there now.
    m_comSetup->RescanPorts();
    m_comSetup->show();
    m_comSetup->raise();
    m_comSetup->activateWindow();
}

void TMainForm::Action5Execute() {
    if (!m_graphics)
        return;
    if (auto* graph = qobject_cast<TGraphics*>(m_graphics.data())) {
        const QWidget* bar = ui->StatusBar_form;
        graph->PlaceOnScreenOf(*this, QRect(bar->mapToGlobal(QPoint(0, 0)), bar->size()));
    }
    m_graphics->show();
    m_graphics->raise();
    m_graphics->activateWindow();
    m_graphics->setFocus();
}

void TMainForm::Timer1Timer() {
    const FadeCounter::Tick tick = m_fade.Advance();
    SetWindowAlpha(tick.alpha);
    if (tick.stopTimer)
        m_timer1->stop();
    if (tick.endProcess)
        EndProcess(0);
}
