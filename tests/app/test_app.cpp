// The main window as the user and the other subsystems meet it: its
// controls, the texts after start-up, the bound menu and action bar items,
// the fade and the only way out of the process.
#include "FadeCounter.h"
#include "FindControl.h"
#include "FocusMark.h"
#include "GraphImage.h"
#include "LiveView.h"
#include "PanelStatusBar.h"
#include "ProgramWindows.h"
#include "RadioGroup.h"
#include "Shape.h"
#include "Siren.h"
#include "SirenPlayer.h"
#include "StringGrid.h"
#include "Subsystems.h"
#include "TGraphics.h"
#include "TMainForm.h"
#include "TrackBar.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <array>
#include <optional>

namespace {

struct Range {
    int min, max, value;
};

// Every control the views bind to, with its kind, the group it sits in and
// its design range and position.
struct ControlSpec {
    const char* name;
    const char* kind;
    const char* container;
    std::optional<Range> range = std::nullopt;
};

const ControlSpec kControls[] = {
    {"PageControl1", "QTabWidget", "TMainForm"},
    {"TabSheet1", "QWidget", "PageControl1"},
    {"TabSheet2", "QWidget", "PageControl1"},
    {"MW", "QGroupBox", "TabSheet1"},
    {"PIR1", "QGroupBox", "TabSheet1"},
    {"PIR2", "QGroupBox", "TabSheet1"},
    {"SETUP", "QGroupBox", "TabSheet1"},
    {"NTC", "QGroupBox", "TabSheet1"},
    // channel panels
    {"TrackBar_MW_TRange", "TrackBar", "MW", Range{10, 500, 500}},
    {"TrackBar_PIR1_TRange", "TrackBar", "PIR1", Range{10, 700, 700}},
    {"TrackBar_PIR2_TRange", "TrackBar", "PIR2", Range{10, 700, 700}},
    {"Label_MW_TRange", "QLabel", "MW"},
    {"Label_Pir1_TRange", "QLabel", "PIR1"},
    {"Label_Pir2_TRange", "QLabel", "PIR2"},
    {"GroupBox_Mw_Rate", "QGroupBox", "MW"},
    {"GroupBox_Pir1_Rate", "QGroupBox", "PIR1"},
    {"GroupBox_Pir2_Rate", "QGroupBox", "PIR2"},
    {"GroupBox_Mw_Pulse", "QGroupBox", "MW"},
    {"GroupBox_Pir1_Pulse", "QGroupBox", "PIR1"},
    {"GroupBox_Pir2_Pulse", "QGroupBox", "PIR2"},
    {"ScrollBar_MW_Nconv", "QScrollBar", "GroupBox_Mw_Rate", Range{1, 10, 1}},
    {"ScrollBar_MW_Tconv", "QScrollBar", "GroupBox_Mw_Rate", Range{1, 50, 1}},
    {"ScrollBar_Pir1_Nconv", "QScrollBar", "GroupBox_Pir1_Rate", Range{1, 10, 1}},
    {"ScrollBar_Pir1_Tconv", "QScrollBar", "GroupBox_Pir1_Rate", Range{1, 50, 1}},
    {"ScrollBar_Pir2_Nconv", "QScrollBar", "GroupBox_Pir2_Rate", Range{1, 10, 1}},
    {"ScrollBar_Pir2_Tconv", "QScrollBar", "GroupBox_Pir2_Rate", Range{1, 50, 1}},
    {"ScrollBar_MW_NPulse", "QScrollBar", "GroupBox_Mw_Pulse", Range{1, 5, 1}},
    {"ScrollBar_Pir1_NPulse", "QScrollBar", "GroupBox_Pir1_Pulse", Range{1, 5, 1}},
    {"ScrollBar_Pir2_NPulse", "QScrollBar", "GroupBox_Pir2_Pulse", Range{1, 5, 1}},
    {"Label_MW_Nconv", "QLabel", "GroupBox_Mw_Rate"},
    {"Label_MW_Tconv", "QLabel", "GroupBox_Mw_Rate"},
    {"Label_MW_NPulse", "QLabel", "GroupBox_Mw_Pulse"},
    {"Label_Pir1_Nconv", "QLabel", "GroupBox_Pir1_Rate"},
    {"Label_Pir1_Tconv", "QLabel", "GroupBox_Pir1_Rate"},
    {"Label_Pir1_NPulse", "QLabel", "GroupBox_Pir1_Pulse"},
    {"Label_Pir2_Nconv", "QLabel", "GroupBox_Pir2_Rate"},
    {"Label_Pir2_Tconv", "QLabel", "GroupBox_Pir2_Rate"},
    {"Label_Pir2_NPulse", "QLabel", "GroupBox_Pir2_Pulse"},
    {"Label40", "QLabel", "GroupBox_Mw_Rate"},
    {"Label41", "QLabel", "GroupBox_Mw_Rate"},
    {"Label16", "QLabel", "GroupBox_Pir1_Rate"},
    {"Label14", "QLabel", "GroupBox_Pir1_Rate"},
    {"Label22", "QLabel", "GroupBox_Pir2_Rate"},
    {"Label39", "QLabel", "GroupBox_Pir2_Rate"},
    {"ComboBox_Pir1_Lens", "QComboBox", "PIR1"},
    {"ComboBox_Pir2_Lens", "QComboBox", "PIR2"},
    {"ProgressBar1", "QProgressBar", "MW", Range{0, 700, 0}},
    {"ProgressBar2", "QProgressBar", "PIR1", Range{0, 700, 0}},
    {"ProgressBar3", "QProgressBar", "PIR2", Range{0, 700, 0}},
    {"ProgressBar_Mask", "QProgressBar", "MW", Range{0, 750, 0}},
    {"ProgressBar_MaskNoise", "QProgressBar", "MW"},
    {"Shape_Mask", "Shape", "MW"},
    {"Shape_MaskNoise", "Shape", "MW"},
    {"Label17", "QLabel", "MW"},
    {"Label25", "QLabel", "MW"},
    {"ProgressBar_Acc1", "QProgressBar", "PIR1", Range{0, 800, 0}},
    {"ProgressBar_Acc1Noise", "QProgressBar", "PIR1", Range{0, 200, 0}},
    {"ProgressBar_Acc2", "QProgressBar", "PIR2", Range{0, 800, 0}},
    {"ProgressBar_Acc2Noise", "QProgressBar", "PIR2", Range{0, 400, 0}},
    {"Label35", "QLabel", "PIR1"},
    {"Label31", "QLabel", "PIR1"},
    {"Label37", "QLabel", "PIR2"},
    {"Label36", "QLabel", "PIR2"},
    {"Shape_Mw", "Shape", "MW"},
    {"Shape_Pir1", "Shape", "PIR1"},
    {"Shape_Pir2", "Shape", "PIR2"},
    {"Shape_Acc1", "Shape", "PIR1"},
    {"Shape_Acc2", "Shape", "PIR2"},
    {"Shape_Acc1Noise", "Shape", "PIR1"},
    {"Shape_Acc2Noise", "Shape", "PIR2"},
    // temperature
    {"ProgressBar_Temperatura", "QProgressBar", "NTC", Range{-30, 70, -30}},
    {"Label13", "QLabel", "NTC"},
    // SETUP
    {"GroupBox11", "QGroupBox", "SETUP"},
    {"GroupBox12", "QGroupBox", "SETUP"},
    {"CheckBox_EN_MASK", "QCheckBox", "GroupBox11"},
    {"CheckBox_EN_MW", "QCheckBox", "GroupBox11"},
    {"CheckBox_EN_PIR1", "QCheckBox", "GroupBox11"},
    {"CheckBox_EN_PIR2", "QCheckBox", "GroupBox11"},
    {"CheckBox_EN_ACC", "QCheckBox", "GroupBox11"},
    {"CheckBox_EN_TAMPER", "QCheckBox", "GroupBox11"},
    {"CheckBox_EN_TempComp", "QCheckBox", "GroupBox11"},
    {"CheckBox_AutoTest", "QCheckBox", "GroupBox11"},
    {"CheckBox_EN_LED", "QCheckBox", "GroupBox11"},
    {"CheckBox_NOISE_MW", "QCheckBox", "GroupBox12"},
    {"CheckBox_NOISE_PIR1", "QCheckBox", "GroupBox12"},
    {"CheckBox_NOISE_PIR2", "QCheckBox", "GroupBox12"},
    {"GroupBox_Output1", "QGroupBox", "SETUP"},
    {"GroupBox_Output2", "QGroupBox", "SETUP"},
    {"GroupBox_Output3", "QGroupBox", "SETUP"},
    {"CheckBox_Out1Enable", "QCheckBox", "GroupBox_Output1"},
    {"CheckBox_Out2Enable", "QCheckBox", "GroupBox_Output2"},
    {"CheckBox_Out3Enable", "QCheckBox", "GroupBox_Output3"},
    {"RadioGroup_FuncOut1", "RadioGroup", "GroupBox_Output1"},
    {"RadioGroup_FuncOut2", "RadioGroup", "GroupBox_Output2"},
    {"RadioGroup_FuncOut3", "RadioGroup", "GroupBox_Output3"},
    {"GroupBox_Out1_Tecnologies", "QGroupBox", "GroupBox_Output1"},
    {"GroupBox_Out2_Tecnologies", "QGroupBox", "GroupBox_Output2"},
    {"GroupBox_Out3_Tecnologies", "QGroupBox", "GroupBox_Output3"},
    {"CheckBox_Out1Mw", "QCheckBox", "GroupBox_Out1_Tecnologies"},
    {"CheckBox_Out1Pir1", "QCheckBox", "GroupBox_Out1_Tecnologies"},
    {"CheckBox_Out1Pir2", "QCheckBox", "GroupBox_Out1_Tecnologies"},
    {"CheckBox_Out2Mw", "QCheckBox", "GroupBox_Out2_Tecnologies"},
    {"CheckBox_Out2Pir1", "QCheckBox", "GroupBox_Out2_Tecnologies"},
    {"CheckBox_Out2Pir2", "QCheckBox", "GroupBox_Out2_Tecnologies"},
    {"CheckBox_Out3Mw", "QCheckBox", "GroupBox_Out3_Tecnologies"},
    {"CheckBox_Out3Pir1", "QCheckBox", "GroupBox_Out3_Tecnologies"},
    {"CheckBox_Out3Pir2", "QCheckBox", "GroupBox_Out3_Tecnologies"},
    {"ScrollBar_TimeAnd2", "QScrollBar", "GroupBox_Output2", Range{1, 5, 1}},
    {"ScrollBar_TimeAnd3", "QScrollBar", "GroupBox_Output3", Range{1, 5, 1}},
    {"Label_TimeAnd2", "QLabel", "GroupBox_Output2"},
    {"Label_TimeAnd3", "QLabel", "GroupBox_Output3"},
    {"GroupBox17", "QGroupBox", "SETUP"},
    {"Shape_Out1State", "Shape", "GroupBox17"},
    {"Shape_Out2State", "Shape", "GroupBox17"},
    {"Shape_Out3State", "Shape", "GroupBox17"},
    {"RadioGroup_NCOut1", "RadioGroup", "GroupBox17"},
    {"RadioGroup_NCOut2", "RadioGroup", "GroupBox17"},
    {"RadioGroup_NCOut3", "RadioGroup", "GroupBox17"},
    {"GroupBox7", "QGroupBox", "GroupBox17"},
    {"ScrollBar_TimeAnd1", "QScrollBar", "GroupBox7", Range{1, 10, 1}},
    {"Label_TimeAnd1", "QLabel", "GroupBox7"},
    {"GroupBox6", "QGroupBox", "GroupBox17"},
    {"Shape_OutTamper", "Shape", "GroupBox6"},
    {"ProgressBar_acc_X", "QProgressBar", "GroupBox6", Range{-127, 128, -127}},
    {"ProgressBar_acc_Y", "QProgressBar", "GroupBox6", Range{-127, 128, -127}},
    {"ProgressBar_acc_Z", "QProgressBar", "GroupBox6", Range{-127, 128, -127}},
    {"Label_Acc_X", "QLabel", "GroupBox6"},
    {"Label_Acc_Y", "QLabel", "GroupBox6"},
    {"Label_Acc_Z", "QLabel", "GroupBox6"},
    {"GroupBox22", "QGroupBox", "SETUP"},
    {"ScrollBar_PWM_Fq", "QScrollBar", "GroupBox22", Range{1600, 16000, 1600}},
    {"ScrollBar_PWM_Dc", "QScrollBar", "GroupBox22", Range{1, 640, 160}},
    {"Label_PWM_Fq", "QLabel", "GroupBox22"},
    {"Label_PWM_Dc", "QLabel", "GroupBox22"},
    {"GroupBox8", "QGroupBox", "SETUP"},
    {"Shape_DiagnosticOn", "Shape", "GroupBox8"},
    {"GroupBox9", "QGroupBox", "GroupBox8"},
    {"GroupBox10", "QGroupBox", "GroupBox8"},
    {"GroupBox18", "QGroupBox", "GroupBox8"},
    {"GroupBox19", "QGroupBox", "GroupBox8"},
    {"GroupBox21", "QGroupBox", "GroupBox8"},
    {"Shape_LedMwFault", "Shape", "GroupBox9"},
    {"Shape_LedPir1Fault", "Shape", "GroupBox10"},
    {"Shape_LedPir2Fault", "Shape", "GroupBox18"},
    {"Shape_LedPowerFail", "Shape", "GroupBox19"},
    {"Shape_LedCPUFault", "Shape", "GroupBox21"},
    // LOGS
    {"GroupBox_Log", "QGroupBox", "TabSheet2"},
    {"StringGrid1", "StringGrid", "GroupBox_Log"},
    // frame of the window
    {"MainMenu1", "QMenuBar", "TMainForm"},
    {"ActionMainMenuBar1", "QToolBar", "TMainForm"},
    {"StatusBar_form", "PanelStatusBar", "TMainForm"},
    {"ProgressBar_serial", "QProgressBar", "StatusBar_form", Range{0, 100, 0}},
    {"Timer1", "QTimer", "TMainForm"},
    {"Timer2", "QTimer", "TMainForm"},
};

const char* const kHiddenAtStart[] = {
    "CheckBox_EN_MASK", "ScrollBar_TimeAnd2",   "ScrollBar_TimeAnd3", "Label_TimeAnd2",
    "Label_TimeAnd3",   "GroupBox22",           "ProgressBar_Mask",   "Shape_Mask",
    "Shape_MaskNoise",  "ProgressBar_MaskNoise"};

const char* const kDisabledAtStart[] = {
    "RadioGroup_FuncOut1", "RadioGroup_FuncOut2", "RadioGroup_FuncOut3", "RadioGroup_NCOut1",
    "RadioGroup_NCOut2",   "RadioGroup_NCOut3",   "CheckBox_Out1Mw",     "CheckBox_Out1Pir1",
    "CheckBox_Out1Pir2",   "CheckBox_Out2Mw",     "CheckBox_Out2Pir1",   "CheckBox_Out2Pir2",
    "CheckBox_Out3Mw",     "CheckBox_Out3Pir1",   "CheckBox_Out3Pir2",   "GroupBox22"};

template <class T> T* Find(const QObject* root, const char* name) {
    return FindControl<T>(root, name);
}

// The form without any subsystem, ending nothing when its fade-out ends.
struct Form {
    TMainForm form{TMainForm::Wiring::FormOnly};
    QList<int> exits;
    Form() {
        form.EndProcess = [this](int code) { exits << code; };
    }
};

// Runs fade ticks by hand, as the timer would, while the timer is active.
int RunFade(TMainForm& form, int limit = 200) {
    int ticks = 0;
    while (form.Timer1()->isActive() && ticks < limit) {
        form.Timer1Timer();
        ++ticks;
    }
    return ticks;
}

QStringList RadioTexts(const RadioGroup* group) {
    return group->items();
}

} // namespace

class TestApp : public QObject {
    Q_OBJECT
private slots:
    void fadeCounterSequences();
    void everyControlExistsWithItsKindAndRange();
    void designStates();
    void windowGeometry();
    void visibleControlsAreNotClippedOrOverlapping();
    void interfaceTextsAfterStartUp();
    void progressBarFillsPanelTwo();
    void actionsAndBoundItems();
    void actionBarFollowsItsActions();
    void fadeInThenExitEndsAfter51Ticks();
    void closeBoxRunsExit();
    void secondExitRestartsFadeOut();
    void exitDuringFadeIn();
    void realTimerEndsTheProcess();
    void hooksRunInOrder();
    void exitReleasesVisibleComSetupOnly();
    void setUpComListsPortsPresentNow();
    void startUpCreatesTheThreeWindows();
    void sirenFileLookup();
    void logContextMenu();
    void keyboardReachesEveryConfigurationControl();
    void everyControlHasAnAccessibleName();
    void lampsDescribeTheirState();
    void muteSirenSilencesTheSoundOnly();
    void muteCaptionSaysWhatAClickDoes();
    void aboutNamesTheVersionAndTheLicence();
};

void TestApp::fadeCounterSequences() {
    FadeCounter fade;
    QCOMPARE(fade.FadeAlpha(), 0);
    QVERIFY(!fade.FadingIn());

    fade.StartFadeIn();
    QList<int> applied;
    for (;;) {
        const auto tick = fade.Advance();
        applied << tick.alpha;
        QVERIFY(!tick.endProcess);
        if (tick.stopTimer)
            break;
        QVERIFY(applied.size() < 100);
    }
    QCOMPARE(applied.size(), 51);
    QCOMPARE(applied.first(), 0);
    QCOMPARE(applied.last(), 250); // never quite opaque after the fade-in
    for (int i = 0; i < applied.size(); ++i)
        QCOMPARE(applied[i], 5 * i);
    QCOMPARE(fade.FadeAlpha(), 255);

    fade.StartFadeOut();
    applied.clear();
    for (;;) {
        const auto tick = fade.Advance();
        applied << tick.alpha;
        if (tick.stopTimer) {
            QVERIFY(tick.endProcess);
            break;
        }
        QVERIFY(!tick.endProcess);
        QVERIFY(applied.size() < 100);
    }
    QCOMPARE(applied.size(), 51);
    QCOMPARE(applied.first(), 255);
    QCOMPARE(applied.last(), 5);

    // A restart in the middle of the fade-out begins again at full opacity.
    fade.StartFadeOut();
    for (int i = 0; i < 20; ++i)
        fade.Advance();
    fade.StartFadeOut();
    int ticks = 1;
    while (!fade.Advance().endProcess)
        ++ticks;
    QCOMPARE(ticks, 51);
}

void TestApp::everyControlExistsWithItsKindAndRange() {
    Form f;
    for (const ControlSpec& row : kControls) {
        QObject* obj = f.form.findChild<QObject*>(row.name);
        QVERIFY2(obj, row.name);
        QVERIFY2(obj->inherits(row.kind),
                 qPrintable(QString("%1 is a %2").arg(row.name, obj->metaObject()->className())));
        // The control sits inside its documented group.
        bool inside = false;
        for (QObject* p = obj->parent(); p && !inside; p = p->parent())
            inside = p->objectName() == row.container;
        QVERIFY2(inside, qPrintable(QString("%1 not in %2").arg(row.name, row.container)));

        if (!row.range)
            continue;
        int min = 0, max = 0, value = 0;
        if (auto* slider = qobject_cast<QAbstractSlider*>(obj)) {
            min = slider->minimum(), max = slider->maximum(), value = slider->value();
        } else if (auto* bar = qobject_cast<QProgressBar*>(obj)) {
            min = bar->minimum(), max = bar->maximum(), value = bar->value();
        } else {
            QFAIL(row.name);
        }
        QCOMPARE(min, row.range->min);
        QCOMPARE(max, row.range->max);
        QCOMPARE(value, row.range->value);
    }

    // Track bars: line step 10, page step 1, ticks every 16 on the left,
    // selection end at the design maximum.
    for (const char* name :
         {"TrackBar_MW_TRange", "TrackBar_PIR1_TRange", "TrackBar_PIR2_TRange"}) {
        auto* bar = Find<TrackBar>(&f.form, name);
        QCOMPARE(bar->singleStep(), 10);
        QCOMPARE(bar->pageStep(), 1);
        QCOMPARE(bar->tickInterval(), 16);
        QCOMPARE(bar->tickPosition(), QSlider::TicksLeft);
        QCOMPARE(bar->selEnd(), bar->maximum());
        QCOMPARE(bar->selStart(), bar->maximum()); // no band before the first status
        QCOMPARE(bar->orientation(), Qt::Vertical);
    }
    // Vertical channel scroll bars with 1 at the top end; horizontal time bars.
    for (auto* bar : f.form.findChildren<QScrollBar*>()) {
        if (!bar->objectName().startsWith("ScrollBar_"))
            continue;
        const bool horizontal =
            bar->objectName().startsWith("ScrollBar_TimeAnd") || bar->objectName().contains("PWM");
        QCOMPARE(bar->orientation(), horizontal ? Qt::Horizontal : Qt::Vertical);
        QVERIFY(!bar->invertedAppearance());
    }
    for (const char* name : {"ProgressBar1", "ProgressBar_Temperatura", "ProgressBar_acc_Z"})
        QCOMPARE(Find<QProgressBar>(&f.form, name)->orientation(), Qt::Vertical);

    // Actions and menu items.
    for (const char* name :
         {"Action1", "Action2", "Action3", "Action4", "Action5", "FileOpen1", "FileSaveAs1",
          "LoadConfig1", "SaveConfig1", "CommSetup1", "Connect1", "StoreToFlash1", "Clear1"})
        QVERIFY2(f.form.findChild<QAction*>(name), name);
    QVERIFY(f.form.findChild<QMenu*>("File1"));
    QVERIFY(f.form.findChild<QMenu*>("PopupMenu2"));

    // Timers: the fade, 10 ms poll, both idle until shown or connected.
    QCOMPARE(Find<QTimer>(&f.form, "Timer1")->interval(), TMainForm::FadeTickMs);
    QCOMPARE(Find<QTimer>(&f.form, "Timer2")->interval(), 10);
    QVERIFY(!f.form.Timer1()->isActive());
    QVERIFY(!f.form.Timer2()->isActive());
}

void TestApp::designStates() {
    Form f;
    f.form.show();
    for (const char* name : kHiddenAtStart)
        QVERIFY2(!Find<QWidget>(&f.form, name)->isVisible(), name);
    for (const char* name : kDisabledAtStart)
        QVERIFY2(!Find<QWidget>(&f.form, name)->isEnabled(), name);
    QVERIFY(Find<QCheckBox>(&f.form, "CheckBox_Out1Enable")->isEnabled());
    QVERIFY(Find<QCheckBox>(&f.form, "CheckBox_EN_MW")->isVisible());

    // Lamps are gray, the self-test background takes the button face.
    for (auto* lamp : f.form.findChildren<Shape*>()) {
        const QColor expected = lamp->objectName() == "Shape_DiagnosticOn"
                                    ? f.form.palette().color(QPalette::Button)
                                    : QColor(128, 128, 128);
        QVERIFY2(lamp->brushColor() == expected, qPrintable(lamp->objectName()));
    }
    QCOMPARE(Find<QLabel>(&f.form, "Label13")->text(), QString("0000"));
    QCOMPARE(Find<QLabel>(&f.form, "Label_MW_TRange")->text(), QString("0000"));
    QCOMPARE(Find<QLabel>(&f.form, "Label_Pir2_NPulse")->text(), QString("0"));
    QCOMPARE(Find<QLabel>(&f.form, "Label_TimeAnd1")->text(), QString("3 sec."));
    QCOMPARE(Find<QLabel>(&f.form, "Label_PWM_Dc")->text(), QString("----"));
    QCOMPARE(Find<QLabel>(&f.form, "Label_Acc_Y")->text(), QString("Y"));
    QCOMPARE(Find<QTabWidget>(&f.form, "PageControl1")->currentIndex(), 0);

    auto* grid = Find<StringGrid>(&f.form, "StringGrid1");
    QCOMPARE(grid->columnCount(), 10);
    QCOMPARE(grid->rowCount(), 11);
    // The alarm column shows its longest name whole, with the width the
    // row numbers do not need; the others are as designed.
    const int widths[] = {75, 73, 75, 117, 122, 103, 134, 102, 101, 75};
    for (int c = 2; c < 10; ++c)
        QCOMPARE(grid->columnWidth(c), widths[c]);
    // The row numbers give up what the alarm names need as far as they can;
    // only a wider font (as under Wine) widens the grid.
    const int sum = grid->columnWidth(0) + grid->columnWidth(1);
    QVERIFY(sum >= widths[0] + widths[1]);
    if (sum > widths[0] + widths[1])
        QCOMPARE(grid->columnWidth(0),
                 std::max(30, QFontMetrics(grid->font()).horizontalAdvance("10 ") + 12));
    const int cellMargin =
        grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1;
    QVERIFY(grid->columnWidth(1) >=
            QFontMetrics(grid->font()).horizontalAdvance("Fail DOWN PIR") + 2 * cellMargin + 1);
    QVERIFY(grid->columnWidth(0) >=
            QFontMetrics(grid->font()).horizontalAdvance("10 ") + 2 * cellMargin);
    for (int r = 0; r < 11; ++r)
        QCOMPARE(grid->rowHeight(r), 24);
    QVERIFY(grid->font().bold());
    QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
}

void TestApp::windowGeometry() {
    Form f;
    f.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.form));
    auto* menu = Find<QMenuBar>(&f.form, "MainMenu1");
    QCOMPARE(f.form.width(), 1009);
    QCOMPARE(f.form.height() - menu->height(), 424);
    QCOMPARE(f.form.minimumSize(), f.form.maximumSize()); // fixed frame
    QCOMPARE(Find<QToolBar>(&f.form, "ActionMainMenuBar1")->height(), 34);
    QCOMPARE(Find<QToolBar>(&f.form, "ActionMainMenuBar1")->iconSize(), QSize(24, 24));
    QCOMPARE(Find<QWidget>(&f.form, "PageControl1")->size(), QSize(1009, 368));
    QCOMPARE(Find<QWidget>(&f.form, "StatusBar_form")->height(), 22);
    for (const char* name : {"MW", "PIR1", "PIR2"})
        QCOMPARE(Find<QWidget>(&f.form, name)->width(), 246);
    QCOMPARE(Find<QWidget>(&f.form, "SETUP")->width(), 218);
    QCOMPARE(Find<QWidget>(&f.form, "NTC")->width(), 46);
    QCOMPARE(f.form.font().pixelSize(), 11);

    // The SETUP area scrolls vertically and reaches all of its groups.
    auto* scroll = Find<QScrollArea>(Find<QWidget>(&f.form, "SETUP"), "ScrollBox1");
    QVERIFY(scroll);
    QVERIFY(scroll->widget()->height() > scroll->viewport()->height());
    scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
    QApplication::processEvents();
    auto* last = Find<QWidget>(&f.form, "GroupBox8");
    const QPoint bottom = last->mapTo(scroll->viewport(), QPoint(0, last->height()));
    QVERIFY(bottom.y() <= scroll->viewport()->height());
}

// Reports a visible named control that leaves its parent or covers a
// visible named sibling, and a label or check box whose text does not fit.
void TestApp::visibleControlsAreNotClippedOrOverlapping() {
    Form f;
    f.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.form));
    auto* pages = Find<QTabWidget>(&f.form, "PageControl1");
    auto named = [](QWidget* w) {
        return !w->objectName().isEmpty() && !w->objectName().startsWith("qt_") && w->isVisible();
    };
    for (int page = 0; page < pages->count(); ++page) {
        pages->setCurrentIndex(page);
        QApplication::processEvents();
        QList<QWidget*> all = pages->widget(page)->findChildren<QWidget*>();
        for (QWidget* w : all) {
            if (!named(w) || qobject_cast<QScrollArea*>(w->parentWidget()))
                continue;
            QWidget* parent = w->parentWidget();
            if (parent->objectName() == "qt_scrollarea_viewport")
                continue;
            const QString where = w->objectName() + " in " + parent->objectName();
            QVERIFY2(parent->rect().contains(w->geometry()), qPrintable("clipped: " + where));
            for (QObject* o : parent->children()) {
                auto* sibling = qobject_cast<QWidget*>(o);
                if (!sibling || sibling == w || !named(sibling))
                    continue;
                // The self-test lamps sit on their background on purpose.
                if (w->objectName() == "Shape_DiagnosticOn" ||
                    sibling->objectName() == "Shape_DiagnosticOn")
                    continue;
                QVERIFY2(!w->geometry().intersects(sibling->geometry()),
                         qPrintable("overlap: " + where + " / " + sibling->objectName()));
            }
            if (auto* label = qobject_cast<QLabel*>(w))
                QVERIFY2(label->sizeHint().width() <= label->width(),
                         qPrintable("text cut: " + where));
            if (auto* box = qobject_cast<QCheckBox*>(w))
                QVERIFY2(box->sizeHint().width() <= box->width(), qPrintable("text cut: " + where));
            if (auto* group = qobject_cast<RadioGroup*>(w)) {
                for (auto* b : group->findChildren<QRadioButton*>())
                    QVERIFY2(group->rect().contains(b->geometry()),
                             qPrintable("item cut: " + where + " " + b->text()));
            }
        }
    }
    // The noise reduction captions the live view sets later fit as well.
    auto* noise = Find<QCheckBox>(&f.form, "CheckBox_NOISE_PIR2");
    noise->setText("PIR DOWN(Auto change N.R.)");
    QVERIFY(noise->sizeHint().width() <= noise->width());
}

void TestApp::interfaceTextsAfterStartUp() {
    Form f;
    TMainForm& w = f.form;
    QCOMPARE(w.windowTitle(), QString("Configuration Tools"));
    QCOMPARE(Find<QGroupBox>(&w, "MW")->title(), QString("Radar"));
    QCOMPARE(Find<QGroupBox>(&w, "PIR1")->title(), QString("Pir High above"));
    QCOMPARE(Find<QGroupBox>(&w, "PIR2")->title(), QString("Pir Down Under"));
    QCOMPARE(Find<QGroupBox>(&w, "SETUP")->title(), QString("SETUP"));
    QCOMPARE(Find<QGroupBox>(&w, "NTC")->title(), QString("Ntc"));
    for (const char* name : {"GroupBox_Mw_Rate", "GroupBox_Pir1_Rate", "GroupBox_Pir2_Rate"})
        QCOMPARE(Find<QGroupBox>(&w, name)->title(), QString("Rate   Speed"));
    for (const char* name : {"GroupBox_Mw_Pulse", "GroupBox_Pir1_Pulse", "GroupBox_Pir2_Pulse"})
        QCOMPARE(Find<QGroupBox>(&w, name)->title(), QString("Pulse"));
    for (const char* name : {"Label40", "Label16", "Label22"})
        QCOMPARE(Find<QLabel>(&w, name)->text(), QString("Max"));
    for (const char* name : {"Label41", "Label14", "Label39"})
        QCOMPARE(Find<QLabel>(&w, name)->text(), QString("Min"));
    for (const char* name : {"Label17", "Label35", "Label37"})
        QCOMPARE(Find<QLabel>(&w, name)->text(), QString("M"));
    for (const char* name : {"Label25", "Label31", "Label36"})
        QCOMPARE(Find<QLabel>(&w, name)->text(), QString("N"));

    const QStringList lenses{"User", "Angle", "Horizontal Curtain", "Vertical Curtain"};
    for (const char* name : {"ComboBox_Pir1_Lens", "ComboBox_Pir2_Lens"}) {
        auto* lens = Find<QComboBox>(&w, name);
        QStringList items;
        for (int i = 0; i < lens->count(); ++i)
            items << lens->itemText(i);
        QCOMPARE(items, lenses);
        QCOMPARE(lens->currentIndex(), 0);
        QCOMPARE(lens->currentText(), QString("User"));
    }

    const std::pair<const char*, const char*> checks[] = {
        {"CheckBox_EN_MW", "Enable Mw"},
        {"CheckBox_EN_PIR1", "Enable Pir High above"},
        {"CheckBox_EN_PIR2", "Enable Pir Down Under"},
        {"CheckBox_EN_ACC", "Enable Mask #1-2"},
        {"CheckBox_EN_TAMPER", "Enable Tamper"},
        {"CheckBox_EN_TempComp", "Enable Temp. Comp."},
        {"CheckBox_AutoTest", "Enable Auto Test (24h)"},
        {"CheckBox_EN_LED", "Led ON"},
        {"CheckBox_NOISE_MW", "Mw noise reduction"},
        {"CheckBox_NOISE_PIR1", "Pir High noise reduction"},
        {"CheckBox_NOISE_PIR2", "Pir Down noise reduction"},
    };
    for (const auto& [name, text] : checks)
        QCOMPARE(Find<QCheckBox>(&w, name)->text(), QString(text));
    const std::pair<const char*, const char*> groups[] = {
        {"GroupBox11", "Enable/Disable"},
        {"GroupBox12", "Noise reduction"},
        {"GroupBox7", "Time AND"},
        {"GroupBox17", "AUTO TEST"},
        {"GroupBox6", "TAMPER"},
        {"GroupBox8", "Auto Test (24h)"},
        {"GroupBox9", "MW"},
        {"GroupBox10", "A. Pir"},
        {"GroupBox18", "U. Pir"},
        {"GroupBox19", "Low Voltage"},
        {"GroupBox21", "CPU"},
    };
    for (const auto& [name, text] : groups)
        QCOMPARE(Find<QGroupBox>(&w, name)->title(), QString(text));

    const QStringList functions{"AND", "OR", "AUTO OR", "MASK", "AUTO TEST"};
    for (int n = 1; n <= 3; ++n) {
        const QByteArray out = QByteArray::number(n);
        const QString caption = "Out #" + QString::number(n);
        QCOMPARE(Find<QGroupBox>(&w, "GroupBox_Output" + out)->title(), caption);
        QCOMPARE(Find<QCheckBox>(&w, "CheckBox_Out" + out + "Enable")->text(), QString("Enable"));
        auto* function = Find<RadioGroup>(&w, "RadioGroup_FuncOut" + out);
        QCOMPARE(function->title(), QString("Function"));
        QCOMPARE(RadioTexts(function), functions);
        QCOMPARE(function->itemIndex(), -1);
        for (auto* b : function->findChildren<QRadioButton*>())
            QVERIFY(!b->isChecked());
        QCOMPARE(Find<QGroupBox>(&w, "GroupBox_Out" + out + "_Tecnologies")->title(),
                 QString("Tecnologies"));
        QCOMPARE(Find<QCheckBox>(&w, "CheckBox_Out" + out + "Mw")->text(), QString("MW"));
        QCOMPARE(Find<QCheckBox>(&w, "CheckBox_Out" + out + "Pir1")->text(), QString("A. Pir"));
        QCOMPARE(Find<QCheckBox>(&w, "CheckBox_Out" + out + "Pir2")->text(), QString("U. Pir"));
        auto* ncno = Find<RadioGroup>(&w, "RadioGroup_NCOut" + out);
        QCOMPARE(ncno->title(), caption);
        QCOMPARE(RadioTexts(ncno), (QStringList{"NC", "NO"}));
        QCOMPARE(ncno->itemIndex(), -1);
    }

    auto* pages = Find<QTabWidget>(&w, "PageControl1");
    QCOMPARE(pages->tabText(0), QString("VIEW"));
    QCOMPARE(pages->tabText(1), QString("LOGS"));
    QCOMPARE(pages->widget(0)->objectName(), QString("TabSheet1"));

    auto* grid = Find<StringGrid>(&w, "StringGrid1");
    const QStringList headers{
        "",           "ALLARM",     "Max MW",     "Max Pir ABOVE", "Max Pir UNDER",
        "Max Mask 1", "Max Mask 2", "Noise Ir 1", "Noise Ir 2",    "Ntc:"};
    for (int c = 0; c < 10; ++c)
        QCOMPARE(grid->cell(c, 0), headers[c]);
    QCOMPARE(grid->cell(0, 1), QString("1 "));
    QCOMPARE(grid->cell(0, 10), QString("10 "));
    for (int r = 1; r <= 10; ++r) {
        QCOMPARE(grid->cell(0, r), QString::number(r) + " ");
        for (int c = 1; c < 10; ++c)
            QVERIFY(grid->cell(c, r).isEmpty());
    }

    auto* status = Find<PanelStatusBar>(&w, "StatusBar_form");
    QCOMPARE(status->panelCount(), 6);
    QCOMPARE(status->panelText(0), QString("Disconnect"));
    QCOMPARE(status->panelText(1), QString());
    QCOMPARE(status->panelText(3), QString());
    QCOMPARE(status->panelText(4), QString());
    QCOMPARE(status->panelText(5), QString());
}

void TestApp::progressBarFillsPanelTwo() {
    Form f;
    auto* status = Find<PanelStatusBar>(&f.form, "StatusBar_form");
    auto* bar = Find<QProgressBar>(&f.form, "ProgressBar_serial");
    QCOMPARE(bar->parentWidget(), status);
    QCOMPARE(bar->geometry(), status->panelRect(2));
    QCOMPARE(bar->value(), 0);
    QCOMPARE(status->panelRect(2).left(), 100 + 400);
    f.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.form));
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->geometry(), status->panelRect(2));
}

void TestApp::actionsAndBoundItems() {
    Form f;
    TMainForm& w = f.form;
    struct Expect {
        const char* name;
        const char* text;
        bool enabled;
    };
    const Expect actions[] = {
        {"Action1", "Exit", true},
        {"Action2", "Connect", false},
        {"FileOpen1", "&Open Config...", true},
        {"FileSaveAs1", "&Save &Config...", true},
        {"Action4", "Store To Flash", false},
        {"Action3", "SetUp COM", true},
        {"Action5", "View Graphic", true},
    };
    for (const Expect& e : actions) {
        auto* a = Find<QAction>(&w, e.name);
        QCOMPARE(a->text(), QString(e.text));
        QCOMPARE(a->isEnabled(), e.enabled);
        QVERIFY2(!a->icon().isNull(), e.name);
        QCOMPARE(a->icon().actualSize(QSize(24, 24)), QSize(24, 24));
    }
    auto* open = Find<QAction>(&w, "FileOpen1");
    QCOMPARE(open->shortcut(), QKeySequence("Ctrl+O"));
    QCOMPARE(open->toolTip(), QString("Open"));
    QCOMPARE(open->statusTip(), QString("Opens an existing file"));
    QCOMPARE(Find<QAction>(&w, "FileSaveAs1")->statusTip(),
             QString("Saves the active file with a new name"));
    QCOMPARE(w.ImageList1().size(), 11);

    // Menu: File holds Load, Save, Save Report and the item bound to store-to-flash.
    auto* file = Find<QMenu>(&w, "File1");
    QCOMPARE(file->title(), QString("&File"));
    QStringList fileItems;
    for (QAction* a : file->actions())
        fileItems << a->objectName();
    QCOMPARE(fileItems,
             (QStringList{"LoadConfig1", "SaveConfig1", "SaveReport1", "SiteBook1", "CommSetup1"}));
    QCOMPARE(Find<QAction>(&w, "LoadConfig1")->text(), QString("&Open Config..."));
    // The action's second marker is no key; the items leave it out.
    QCOMPARE(Find<QAction>(&w, "SaveConfig1")->text(), QString("&Save Config..."));
    QCOMPARE(Find<QAction>(&w, "CommSetup1")->text(), QString("Store To Flash"));
    // Connect and Disconnect each have a key on the menu bar.
    QCOMPARE(Find<QAction>(&w, "Connect1")->text(), QString("&Connect"));
    QCOMPARE(Find<QAction>(&w, "StoreToFlash1")->text(), QString("Store To Flash"));
    QStringList barItems;
    for (QAction* a : Find<QMenuBar>(&w, "MainMenu1")->actions())
        barItems << (a->menu() ? a->menu()->objectName() : a->objectName());
    QCOMPARE(barItems, (QStringList{"File1", "Connect1", "StoreToFlash1", "MuteSiren1", "WalkTest1",
                                    "Help1"}));

    // Bound items follow their action's enabled state and caption, and run it.
    auto* connect = Find<QAction>(&w, "Action2");
    auto* connectItem = Find<QAction>(&w, "Connect1");
    QVERIFY(!connectItem->isEnabled());
    connect->setEnabled(true);
    QVERIFY(connectItem->isEnabled());
    connect->setText("Disconnect");
    QCOMPARE(connectItem->text(), QString("&Disconnect"));
    int runs = 0;
    QObject::connect(connect, &QAction::triggered, [&] { ++runs; });
    connectItem->trigger();
    QCOMPARE(runs, 1);

    // The File menu's store item runs store-to-flash; the link may switch it
    // directly, and a later change of the action wins again.
    auto* store = Find<QAction>(&w, "Action4");
    auto* commSetup = Find<QAction>(&w, "CommSetup1");
    int stores = 0;
    QObject::connect(store, &QAction::triggered, [&] { ++stores; });
    store->setEnabled(true);
    QVERIFY(commSetup->isEnabled());
    commSetup->setEnabled(false);
    QVERIFY(store->isEnabled());
    store->setEnabled(false);
    store->setEnabled(true);
    QVERIFY(commSetup->isEnabled());
    commSetup->trigger();
    Find<QAction>(&w, "StoreToFlash1")->trigger();
    QCOMPARE(stores, 2);
}

void TestApp::actionBarFollowsItsActions() {
    Form f;
    TMainForm& w = f.form;
    auto* bar = Find<QToolBar>(&w, "ActionMainMenuBar1");
    QStringList layout;
    for (QAction* a : bar->actions()) {
        if (a->isSeparator())
            layout << (a->isVisible() ? "|" : "(|)");
        else
            layout << a->text();
    }
    QCOMPARE(layout, (QStringList{"|", "&Open Config...", "|", "&Save Config...", "|", "Co&nnect",
                                  "|", "&Store To Flash", "|", "Se&tUp COM", "|", "&View Graphic",
                                  "|", "&Mute Siren", "(|)", "&Exit", "|"}));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    auto itemFor = [&](const char* action) {
        return Find<QAction>(bar, QByteArray("ActionMainMenuBar1_") + action);
    };
    auto buttonFor = [&](const char* action) {
        return qobject_cast<QToolButton*>(bar->widgetForAction(itemFor(action)));
    };
    QCOMPARE(buttonFor("Action2")->text(), QString("Co&nnect"));
    QVERIFY(!buttonFor("Action2")->isEnabled());
    QVERIFY(!buttonFor("Action4")->isEnabled());
    QVERIFY(buttonFor("Action1")->isEnabled());
    QCOMPARE(buttonFor("Action2")->iconSize(), QSize(24, 24));

    // Connect and Disconnect keep their key in both captions, on the action
    // bar (Alt+N) and on the menu bar (Alt+C, Alt+D).
    auto* connect = Find<QAction>(&w, "Action2");
    int connects = 0;
    QObject::connect(connect, &QAction::triggered, [&] { ++connects; });
    connect->setEnabled(true);
    QVERIFY(buttonFor("Action2")->isEnabled());
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_C, Qt::AltModifier);
    QTRY_COMPARE(connects, 1);
    connect->setText("Disconnect");
    QCOMPARE(buttonFor("Action2")->text(), QString("Disco&nnect"));
    QTest::keyClick(&w, Qt::Key_N, Qt::AltModifier);
    QTRY_COMPARE(connects, 2);
    QTest::keyClick(&w, Qt::Key_D, Qt::AltModifier);
    QTRY_COMPARE(connects, 3);
    connect->setText("Connect");
    QCOMPARE(buttonFor("Action2")->text(), QString("Co&nnect"));
    connect->setEnabled(false);
    QVERIFY(!buttonFor("Action2")->isEnabled());

    // Clicking the item runs the action.
    int graphs = 0;
    QObject::connect(Find<QAction>(&w, "Action5"), &QAction::triggered, [&] { ++graphs; });
    QTest::mouseClick(buttonFor("Action5"), Qt::LeftButton);
    QCOMPARE(graphs, 1);
}

void TestApp::fadeInThenExitEndsAfter51Ticks() {
    Form f;
    TMainForm& w = f.form;
    QCOMPARE(w.AppliedAlpha(), 0); // transparent before it is ever shown
    w.show();
    QVERIFY(w.Timer1()->isActive());
    QVERIFY(w.Fade().FadingIn());
    QCOMPARE(w.Timer1()->interval(), TMainForm::FadeTickMs);
    w.Timer1()->stop(); // the ticks are run by hand below
    w.Timer1()->start();
    QCOMPARE(RunFade(w), 51);
    QCOMPARE(w.AppliedAlpha(), 250);
    QCOMPARE(w.Fade().FadeAlpha(), 255);
    QVERIFY(f.exits.isEmpty());

    Find<QAction>(&w, "Action1")->trigger();
    QVERIFY(w.Timer1()->isActive());
    w.Timer1Timer();
    QCOMPARE(w.AppliedAlpha(), 255); // the first fade-out tick is opaque
    int ticks = 1;
    while (f.exits.isEmpty() && ticks < 200) {
        w.Timer1Timer();
        ++ticks;
    }
    QCOMPARE(ticks, 51);
    QCOMPARE(f.exits, QList<int>{0});
    QCOMPARE(w.AppliedAlpha(), 5);
    QVERIFY(!w.Timer1()->isActive());
    QVERIFY(w.isVisible()); // nothing is closed before the process ends
}

void TestApp::closeBoxRunsExit() {
    Form f;
    TMainForm& w = f.form;
    w.show();
    RunFade(w);
    QVERIFY(!w.close()); // the close is refused ...
    QVERIFY(w.isVisible());
    QVERIFY(!w.Fade().FadingIn()); // ... and Exit runs instead
    QCOMPARE(w.Fade().FadeAlpha(), 255);
    QCOMPARE(RunFade(w), 51);
    QCOMPARE(f.exits, QList<int>{0});
}

void TestApp::secondExitRestartsFadeOut() {
    Form f;
    TMainForm& w = f.form;
    w.show();
    RunFade(w);
    int linkExits = 0;
    w.onExitLinkSide = [&] { ++linkExits; };
    w.Action1Execute();
    for (int i = 0; i < 30; ++i)
        w.Timer1Timer();
    QCOMPARE(w.AppliedAlpha(), 255 - 29 * 5);
    QVERIFY(f.exits.isEmpty());
    QVERIFY(!w.close());
    w.Timer1Timer();
    QCOMPARE(w.AppliedAlpha(), 255);
    QCOMPARE(RunFade(w), 50);
    QCOMPARE(f.exits, QList<int>{0});
    QCOMPARE(linkExits, 2);
}

void TestApp::exitDuringFadeIn() {
    Form f;
    TMainForm& w = f.form;
    w.show();
    for (int i = 0; i < 10; ++i)
        w.Timer1Timer();
    QCOMPARE(w.AppliedAlpha(), 45);
    w.Action1Execute();
    w.Timer1Timer();
    QCOMPARE(w.AppliedAlpha(), 255);
    QCOMPARE(RunFade(w), 50);
    QCOMPARE(f.exits, QList<int>{0});
}

void TestApp::realTimerEndsTheProcess() {
    Form f;
    f.form.show();
    QTRY_VERIFY_WITH_TIMEOUT(!f.form.Timer1()->isActive(), 5000);
    QCOMPARE(f.form.AppliedAlpha(), 250);
    QVERIFY(!f.form.close());
    QTRY_COMPARE_WITH_TIMEOUT(f.exits, QList<int>{0}, 5000);
    QCOMPARE(f.form.AppliedAlpha(), 5);
}

void TestApp::hooksRunInOrder() {
    TMainForm w(TMainForm::Wiring::FormOnly);
    QStringList calls;
    w.EndProcess = [&](int code) { calls << QString("end %1").arg(code); };
    w.onShowGraphSide = [&] {
        calls << "graph";
        QVERIFY(w.Timer1()->isActive()); // the fade has started first
    };
    w.onShowLinkSide = [&] { calls << "link"; };
    w.onExitLinkSide = [&] {
        calls << "exit";
        QVERIFY(w.Fade().FadingIn()); // before the fade-out is set up
    };
    w.Timer2()->start();
    w.show();
    QCOMPARE(calls, (QStringList{"graph", "link"}));
    w.Action1Execute();
    QVERIFY(!w.Timer2()->isActive());
    RunFade(w);
    QCOMPARE(calls.mid(2), (QStringList{"exit", "end 0"}));
}

void TestApp::exitReleasesVisibleComSetupOnly() {
    {
        ProgramWindows windows = CreateProgramWindows(
            TMainForm::Wiring::FormOnly, [](const auto&) { return QStringList{"COM1"}; });
        TMainForm& w = *windows.mainForm;
        w.EndProcess = [](int) {};
        // Hidden dialog: Exit keeps it, and SetUp COM still shows it.
        w.Action1Execute();
        QVERIFY(windows.formCom);
        Find<QAction>(&w, "Action3")->trigger();
        QVERIFY(windows.formCom->isVisible());
        // Shown dialog: Exit hides and releases it, SetUp COM then does nothing.
        w.Action1Execute();
        QVERIFY(!windows.formCom);
        QVERIFY(!w.ComSetup());
        Find<QAction>(&w, "Action3")->trigger();
        w.Action1Execute(); // a second Exit finds nothing to release
        QVERIFY(!w.ComSetup());
    }
    {
        ProgramWindows windows = CreateProgramWindows(TMainForm::Wiring::FormOnly,
                                                      [](const auto&) { return QStringList{}; });
        Find<QAction>(windows.mainForm.get(), "Action5")->trigger();
        QVERIFY(windows.graphics->isVisible());
        QVERIFY(!windows.graphics->isModal());
    }
}

void TestApp::setUpComListsPortsPresentNow() {
    QStringList present;
    ProgramWindows windows = CreateProgramWindows(TMainForm::Wiring::FormOnly,
                                                  [&present](const auto&) { return present; });
    auto* combo = Find<QComboBox>(windows.formCom.data(), "ComboBox1");
    auto* setUpCom = Find<QAction>(windows.mainForm.get(), "Action3");
    present = {"COM1", "COM3"}; // adapters plugged in after start-up
    setUpCom->trigger();
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->itemText(1), QString("COM3"));
    // A list that was empty must not pick its first port by itself.
    QCOMPARE(combo->currentText(), QString());
    QVERIFY(windows.formCom->COM.isEmpty());
    QVERIFY(!Find<QAction>(windows.mainForm.get(), "Action2")->isEnabled());
    present = {"COM3"};
    setUpCom->trigger(); // already shown: still rescans
    QCOMPARE(combo->count(), 1);
    QCOMPARE(combo->itemText(0), QString("COM3"));
}

void TestApp::startUpCreatesTheThreeWindows() {
    ProgramWindows windows = CreateProgramWindows(TMainForm::Wiring::FormOnly,
                                                  [](const auto&) { return QStringList{}; });
    TMainForm* w = windows.mainForm.get();
    QVERIFY(windows.formCom);
    QCOMPARE(w->ComSetup(), windows.formCom.data());
    QCOMPARE(windows.formCom->parentWidget(), w);
    QVERIFY(!windows.formCom->isVisible());
    QCOMPARE(w->Graphics(), windows.graphics.get());
    QVERIFY(!windows.graphics->parent()); // its own window, named apart from the main form
    QVERIFY(!windows.graphics->isVisible());
    QVERIFY(!w->isVisible());
    QCOMPARE(w->AppliedAlpha(), 0);
    // The dialog enables Connect once a port is typed or chosen.
    auto* connect = Find<QAction>(w, "Action2");
    QVERIFY(!connect->isEnabled());
    windows.formCom->ComboBox1Change("COM3");
    QVERIFY(connect->isEnabled());
    QVERIFY(Find<QAction>(w, "Connect1")->isEnabled());
}

void TestApp::sirenFileLookup() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QCOMPARE(TMainForm::FindSirenFile(dir.path()), QString());
    // A form built where no sound file lies starts normally without one.
    Form f;
    if (!QFile::exists(QCoreApplication::applicationDirPath() + "/SIREN1.WAV"))
        QVERIFY(f.form.SirenPath().isEmpty());

    QFile lower(dir.filePath("siren1.wav"));
    QVERIFY(lower.open(QIODevice::WriteOnly));
    lower.close();
    QCOMPARE(TMainForm::FindSirenFile(dir.path()), dir.filePath("siren1.wav"));
    QFile exact(dir.filePath("SIREN1.WAV"));
    QVERIFY(exact.open(QIODevice::WriteOnly));
    exact.close();
    QCOMPARE(TMainForm::FindSirenFile(dir.path()), dir.filePath("SIREN1.WAV"));
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    QCOMPARE(TMainForm::FindSirenFile(dir.filePath("sub")), QString());

    // Installed: bin/ without the sound finds it under share/; one beside
    // the program comes first.
    QTemporaryDir prefix;
    QVERIFY(QDir(prefix.path()).mkpath("bin") &&
            QDir(prefix.path()).mkpath("share/detector-config"));
    const QString bin = prefix.filePath("bin");
    QCOMPARE(TMainForm::LocateSirenFile(bin), QString());
    const QString installed = prefix.filePath("share/detector-config/SIREN1.WAV");
    QVERIFY(QFile(installed).open(QIODevice::WriteOnly));
    QCOMPARE(TMainForm::LocateSirenFile(bin), installed);
    QVERIFY(QFile(bin + "/SIREN1.WAV").open(QIODevice::WriteOnly));
    QCOMPARE(TMainForm::LocateSirenFile(bin), bin + "/SIREN1.WAV");
}

void TestApp::logContextMenu() {
    Form f;
    auto* menu = Find<QMenu>(&f.form, "PopupMenu2");
    QCOMPARE(menu->actions().size(), 2);
    QCOMPARE(menu->actions().first()->objectName(), QString("Clear1"));
    QCOMPARE(menu->actions().first()->text(), QString("Clear Logs"));
    QCOMPARE(menu->actions().at(1)->objectName(), QString("ExportCsv1"));
    QCOMPARE(Find<QWidget>(&f.form, "GroupBox_Log")->contextMenuPolicy(), Qt::CustomContextMenu);
    f.form.show();
    Find<QTabWidget>(&f.form, "PageControl1")->setCurrentIndex(1);
    auto* grid = Find<StringGrid>(&f.form, "StringGrid1");
    emit grid->customContextMenuRequested(QPoint(50, 50));
    QTRY_VERIFY(menu->isVisible());
    menu->hide();
}

void TestApp::keyboardReachesEveryConfigurationControl() {
    Form f;
    TMainForm& w = f.form;
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    // As once a configuration has been shown: every output control enabled.
    for (const char* name : kDisabledAtStart)
        Find<QWidget>(&w, name)->setEnabled(true);

    // What has focus, by name; an item of a radio group by group and caption.
    const auto focused = [] {
        QWidget* at = QApplication::focusWidget();
        if (!at)
            return QString();
        if (auto* item = qobject_cast<QRadioButton*>(at))
            return item->parentWidget()->objectName() + ':' + item->text();
        return at->objectName();
    };
    QStringList expected{"TrackBar_MW_TRange",    "ScrollBar_MW_Nconv",    "ScrollBar_MW_Tconv",
                         "ScrollBar_MW_NPulse",   "TrackBar_PIR1_TRange",  "ScrollBar_Pir1_Nconv",
                         "ScrollBar_Pir1_Tconv",  "ScrollBar_Pir1_NPulse", "ComboBox_Pir1_Lens",
                         "TrackBar_PIR2_TRange",  "ScrollBar_Pir2_Nconv",  "ScrollBar_Pir2_Tconv",
                         "ScrollBar_Pir2_NPulse", "ComboBox_Pir2_Lens",    "CheckBox_EN_MW",
                         "CheckBox_EN_PIR1",      "CheckBox_EN_PIR2",      "CheckBox_EN_ACC",
                         "CheckBox_EN_TAMPER",    "CheckBox_EN_TempComp",  "CheckBox_AutoTest",
                         "CheckBox_EN_LED",       "CheckBox_NOISE_MW",     "CheckBox_NOISE_PIR1",
                         "CheckBox_NOISE_PIR2"};
    for (int out = 1; out <= 3; ++out) {
        expected << QString("CheckBox_Out%1Enable").arg(out);
        // A radio group is one stop, at its chosen item (the first while
        // none is chosen); the arrows move within it.
        expected << QString("RadioGroup_FuncOut%1:AND").arg(out);
        for (const char* tech : {"Mw", "Pir1", "Pir2"})
            expected << QString("CheckBox_Out%1%2").arg(out).arg(tech);
    }
    for (int out = 1; out <= 3; ++out)
        expected << QString("RadioGroup_NCOut%1:NC").arg(out);
    expected << "ScrollBar_TimeAnd1";

    // No mark while no configuration control has focus.
    const auto* mark = w.findChild<FocusMark*>();
    QVERIFY(mark && !mark->isVisible());
    Find<QWidget>(&w, "TrackBar_MW_TRange")->setFocus(Qt::TabFocusReason);
    QStringList visited;
    for (int i = 0; i < expected.size(); ++i) {
        visited << focused();
        QWidget* control = QApplication::focusWidget();
        // The focused control is marked, with the ring around it.
        QVERIFY2(mark->isVisible() && mark->Marked() == control, qPrintable(visited.last()));
        QVERIFY(mark->geometry().contains(control->geometry()));
        QTest::keyClick(control, Qt::Key_Tab);
    }
    QCOMPARE(visited, expected);

    // The arrow keys change every slider, scroll bar and list.
    int moved = 0;
    for (QWidget* control : w.findChildren<QWidget*>()) {
        const QString name = control->objectName();
        if (!expected.contains(name) || name.startsWith("CheckBox_"))
            continue;
        control->setFocus(Qt::TabFocusReason);
        Qt::Key key = Qt::Key_Down;
        const auto* slider = qobject_cast<QAbstractSlider*>(control);
        const auto value = [control, slider] {
            return slider ? slider->value() : static_cast<QComboBox*>(control)->currentIndex();
        };
        if (auto* s = qobject_cast<QAbstractSlider*>(control)) {
            s->setValue((s->minimum() + s->maximum()) / 2);
            if (s->orientation() == Qt::Horizontal)
                key = Qt::Key_Right;
        }
        const int before = value();
        QTest::keyClick(control, key);
        QVERIFY2(value() != before, qPrintable(name));
        ++moved;
    }
    QCOMPARE(moved, 15); // the visible sliders, scroll bars and lens lists
    // In a radio group the arrows move the choice to the next item.
    auto* function = Find<RadioGroup>(&w, "RadioGroup_FuncOut2");
    function->setItemIndex(0);
    QRadioButton* first = function->findChildren<QRadioButton*>().first();
    first->setFocus(Qt::TabFocusReason);
    QTest::keyClick(first, Qt::Key_Down);
    QCOMPARE(function->itemIndex(), 1);
}

void TestApp::everyControlHasAnAccessibleName() {
    ProgramWindows windows = CreateProgramWindows(TMainForm::Wiring::FormOnly,
                                                  [](const auto&) { return QStringList{"COM1"}; });
    const QList<QWidget*> forms{windows.mainForm.get(), windows.formCom, windows.graphics.get()};
    QStringList unnamed;
    int checked = 0;
    for (QWidget* form : forms) {
        QList<QWidget*> widgets = form->findChildren<QWidget*>();
        widgets.prepend(form);
        for (QWidget* w : widgets) {
            // The forms' own controls and the items of radio groups; parts
            // the toolkit builds inside its widgets (scroll bars of scroll
            // areas, list popups, overflow buttons) are announced by it.
            const QString objectName = w->objectName();
            if ((objectName.isEmpty() || objectName.startsWith("qt_")) &&
                !qobject_cast<RadioGroup*>(w->parentWidget()))
                continue;
            const bool interactive =
                w->focusPolicy() != Qt::NoFocus || qobject_cast<QAbstractButton*>(w) ||
                qobject_cast<QAbstractSlider*>(w) || qobject_cast<QComboBox*>(w);
            const bool indicator = qobject_cast<QProgressBar*>(w) || qobject_cast<Shape*>(w) ||
                                   qobject_cast<GraphImage*>(w);
            if (!interactive && !indicator)
                continue;
            ++checked;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            if (!a || a->text(QAccessible::Name).trimmed().isEmpty())
                unnamed << QString("%1 %2 (in %3)")
                               .arg(w->metaObject()->className(), w->objectName(),
                                    w->parentWidget() ? w->parentWidget()->objectName() : "");
        }
    }
    QVERIFY(checked > 100);
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join("\n")));

    // Captions are announced as they read, without their mnemonic markers
    // ("Save Config...", not "Save &Config...").
    QStringList marked;
    for (QWidget* form : forms) {
        for (QWidget* w : form->findChildren<QWidget*>()) {
            if (!qobject_cast<QAbstractButton*>(w) && !qobject_cast<QMenuBar*>(w) &&
                !qobject_cast<QMenu*>(w))
                continue;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            QStringList names{a->text(QAccessible::Name)};
            for (int i = 0; i < a->childCount(); ++i)
                names << a->child(i)->text(QAccessible::Name);
            for (const QString& name : names)
                if (name.contains('&'))
                    marked << w->metaObject()->className() + QString(' ') + name;
        }
    }
    QVERIFY2(marked.isEmpty(), qPrintable(marked.join("\n")));
}

void TestApp::lampsDescribeTheirState() {
    ProgramWindows windows =
        CreateProgramWindows(TMainForm::Wiring::Full, [](const auto&) { return QStringList{}; });
    TMainForm& w = *windows.mainForm;
    const QList<Shape*> lamps = w.findChildren<Shape*>();
    QCOMPARE(lamps.size(), 19);
    const auto describe = [&] {
        QStringList states;
        for (const Shape* lamp : lamps)
            states << lamp->objectName() + ' ' + lamp->accessibleDescription();
        return states;
    };
    const auto expect = [&](const char* fault, const char* lit) {
        QStringList states;
        for (const Shape* lamp : lamps) {
            const QString name = lamp->objectName();
            const bool driven = !name.startsWith("Shape_Mask"); // no report lights these
            states << name + ' ' + (!driven ? "off" : name.startsWith("Shape_Led") ? fault : lit);
        }
        return states;
    };
    QCOMPARE(describe(), expect("off", "off"));

    // A status with every detection, output and fault flag set, then a quiet one.
    std::array<std::uint8_t, 58> status{};
    status[48] = status[49] = status[50] = status[51] = 0xFF;
    w.GetSubsystems()->LiveStatusReport(status.data());
    QCOMPARE(describe(), expect("fault", "on"));
    status.fill(0);
    w.GetSubsystems()->LiveStatusReport(status.data());
    QCOMPARE(describe(), expect("off", "off"));
}

void TestApp::muteSirenSilencesTheSoundOnly() {
    ProgramWindows windows =
        CreateProgramWindows(TMainForm::Wiring::Full, [](const auto&) { return QStringList{}; });
    TMainForm& w = *windows.mainForm;
    Subsystems& subsystems = *w.GetSubsystems();
    Siren& siren = subsystems.Live().AlarmSound();
    auto* mute = Find<QAction>(&w, "MuteSiren1");
    auto* status = Find<PanelStatusBar>(&w, "StatusBar_form");
    QCOMPARE(mute->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_M));
    QVERIFY(Find<QMenuBar>(&w, "MainMenu1")->actions().contains(mute));
    auto* muteItem = Find<QAction>(&w, "ActionMainMenuBar1_MuteSiren1");
    if (!siren.Available() || !siren.MediaPlayer1->IsAvailable())
        QSKIP("no alarm sound on this machine");

    std::array<std::uint8_t, 58> alarm{};
    alarm[50] = 0x01; // output 1 active
    subsystems.LiveStatusReport(alarm.data());
    QVERIFY(siren.SirenPlaying());
    muteItem->trigger(); // silent at once, also in the middle of a playback
    QVERIFY(mute->isChecked());
    QVERIFY(!siren.SirenPlaying());
    QCOMPARE(status->panelText(3), QString("Muted"));
    subsystems.LiveStatusReport(alarm.data());
    QVERIFY(!siren.SirenPlaying());
    QCOMPARE(Find<Shape>(&w, "Shape_Out1State")->brushColor(), QColor(255, 0, 0));

    // The same action brings the sound back for the next alarm status.
    mute->trigger();
    QVERIFY(!muteItem->isChecked()); // the action bar's button is up again
    QCOMPARE(status->panelText(3), QString());
    subsystems.LiveStatusReport(alarm.data());
    QVERIFY(siren.SirenPlaying());
    siren.MediaPlayer1Notify();
}

// The caption offers what a click does; the menu bar, which cannot show the
// item pressed, also says the sound is off.
void TestApp::muteCaptionSaysWhatAClickDoes() {
    Form f;
    TMainForm& w = f.form;
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    auto* mute = Find<QAction>(&w, "MuteSiren1");
    auto* barItem = Find<QAction>(&w, "ActionMainMenuBar1_MuteSiren1");
    QCOMPARE(mute->text(), QString("&Mute Siren"));
    QTest::keyClick(&w, Qt::Key_M, Qt::ControlModifier);
    QTRY_VERIFY(mute->isChecked());
    QCOMPARE(mute->text(), QString("&Sound Siren (muted)"));
    QCOMPARE(barItem->text(), QString("&Sound Siren"));
    QVERIFY(barItem->isChecked());
    QTest::keyClick(&w, Qt::Key_M, Qt::ControlModifier);
    QTRY_VERIFY(!mute->isChecked());
    QCOMPARE(mute->text(), QString("&Mute Siren"));
    QCOMPARE(barItem->text(), QString("&Mute Siren"));
}

void TestApp::aboutNamesTheVersionAndTheLicence() {
    Form f;
    TMainForm& w = f.form;
    auto* help = Find<QMenu>(&w, "Help1");
    QCOMPARE(help->title(), QString("&Help"));
    QCOMPARE(help->actions().size(), 1);
    QCOMPARE(help->actions()[0]->text(), QString("&About..."));
    QString shown;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
    });
    help->actions()[0]->trigger();
    QVERIFY2(shown.contains(QRegularExpression("Version \\d+\\.\\d+")), qPrintable(shown));
    QVERIFY(shown.contains("MIT License"));
    QVERIFY(shown.contains("GNU Lesser General Public License"));
}

QTEST_MAIN(TestApp)
#include "test_app.moc"
