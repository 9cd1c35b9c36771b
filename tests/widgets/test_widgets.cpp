// Change notification and addressing of the widgets the subsystems bind to.
#include "BarPosition.h"
#include "CachedGroupBox.h"
#include "FindControl.h"
#include "LevelBar.h"
#include "LevelBarStyle.h"
#include "LiveAnnouncements.h"
#include "PaintHold.h"
#include "PanelStatusBar.h"
#include "RadioGroup.h"
#include "Shape.h"
#include "StringGrid.h"
#include "TrackBar.h"

#include <QAccessible>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <utility>

class TestWidgets : public QObject {
    Q_OBJECT
private slots:
    void trackBarNotifiesOnlyRealChanges();
    void trackBarAxisAndBand();
    void bandRepaintsOnlyWhenItLooksDifferent();
    void trackBarBandOnPlainGroove();
    void levelBarAtMinimumShowsNoFill();
    void radioGroupIndexRules();
    void radioGroupUserClick();
    void stringGridAddressing();
    void stringGridResizeByDragging();
    void panelStatusBarRects();
    void barPositionClamps();
    void shapeColour();
    void findControlThrowsOnMissingName();
    void cachedGroupBoxLooksLikeAPlainOne();
    void levelBarIsDrawnWithTheNextPaintPass();
    void levelBarRepaintedInPartLooksDrawnWhole();
    void trackBarBandRepaintedInPartLooksDrawnWhole();
    void heldRepaintsComeWithDeliveryOrTheLimit();
    void liveReadoutsAnnounceAtMostOncePerInterval();
};

void TestWidgets::trackBarNotifiesOnlyRealChanges() {
    TrackBar bar;
    bar.setRange(10, 700);
    bar.setValue(700);
    QSignalSpy spy(&bar, &QSlider::valueChanged);

    bar.setValue(700);
    QCOMPARE(spy.count(), 0);

    bar.setValue(300);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.takeFirst().at(0).toInt(), 300);

    // A narrower range that still holds the position runs nothing ...
    bar.setRange(200, 440);
    QCOMPARE(spy.count(), 0);
    // ... one that excludes it clamps and notifies once.
    bar.setRange(100, 250);
    QCOMPARE(bar.value(), 250);
    QCOMPARE(spy.count(), 1);
    bar.setMinimum(260);
    QCOMPARE(bar.value(), 260);
    QCOMPARE(spy.count(), 2);
}

void TestWidgets::trackBarAxisAndBand() {
    TrackBar bar;
    bar.resize(45, 200);
    bar.setRange(10, 500);
    QCOMPARE(bar.orientation(), Qt::Vertical);

    // Position grows downward: the minimum sits at the top of the groove.
    QStyleOptionSlider opt;
    opt.initFrom(&bar);
    opt.orientation = Qt::Vertical;
    opt.minimum = bar.minimum();
    opt.maximum = bar.maximum();
    opt.upsideDown = !bar.invertedAppearance();
    opt.sliderPosition = 10;
    const QRect top = bar.style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle);
    opt.sliderPosition = 500;
    const QRect bottom =
        bar.style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle);
    QVERIFY(top.center().y() < bottom.center().y());

    // A band from a low position to the maximum covers the lower part only.
    bar.setSelEnd(500);
    bar.setSelStart(500);
    QVERIFY(bar.selectionBandRect().isEmpty());
    bar.setSelStart(500 - 100);
    const QRect small = bar.selectionBandRect();
    bar.setSelStart(500 - 400);
    const QRect large = bar.selectionBandRect();
    QVERIFY(!small.isEmpty());
    QVERIFY(large.height() > small.height());
    QCOMPARE(large.bottom(), small.bottom());
    // A level beyond the scale fills the band to the top end, never past it.
    bar.setSelStart(-5000);
    const QRect full = bar.selectionBandRect();
    QVERIFY(full.top() >= 0 && full.height() >= large.height());
    QVERIFY(!bar.grab().isNull());
    // The band follows the bar's size.
    bar.resize(45, 400);
    QVERIFY(bar.selectionBandRect().height() > full.height() + 150);

    // Keys move the thumb the way it looks: Up toward the top, the minimum.
    bar.setSingleStep(10);
    bar.setValue(300);
    QTest::keyClick(&bar, Qt::Key_Up);
    QCOMPARE(bar.value(), 290);
    QTest::keyClick(&bar, Qt::Key_Down);
    QTest::keyClick(&bar, Qt::Key_Down);
    QCOMPARE(bar.value(), 310);
}

void TestWidgets::trackBarBandOnPlainGroove() {
    TrackBar bar;
    bar.resize(48, 272);
    bar.setRange(10, 500);
    bar.setValue(255); // thumb in the middle
    bar.setSelEnd(500);
    bar.setSelStart(300);                               // a level of 200: the lower two fifths
    const int x = bar.selectionBandRect().center().x(); // the groove's middle
    const int above = bar.height() / 5;
    const int below = bar.height() * 9 / 10;

    // The band, from the low end up to a level, shows in its own colour
    // below the thumb and leaves the groove above the thumb plain.
    QImage img = bar.grab().toImage();
    QCOMPARE(img.pixelColor(x, below), bar.bandColor());
    QVERIFY(img.pixelColor(x, above) != bar.bandColor());
    QVERIFY(bar.bandColor() != bar.palette().color(QPalette::Highlight));

    // Without a band the groove looks the same on both sides of the thumb.
    bar.setSelStart(500);
    img = bar.grab().toImage();
    QCOMPARE(img.pixelColor(x, above), img.pixelColor(x, below));
}

namespace {
struct PaintCount : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};
} // namespace

void TestWidgets::bandRepaintsOnlyWhenItLooksDifferent() {
    // The band follows every live status, 26 a second: a move too small to
    // see repaints nothing (neither the bar nor the page behind it), and a
    // visible one repaints the bar once.
    QWidget page;
    page.resize(100, 300);
    auto* bar = new TrackBar(&page);
    bar->setGeometry(10, 10, 48, 272);
    bar->setRange(10, 30000);
    bar->setSelEnd(30000);
    bar->setSelStart(15000);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    PaintCount onBar, onPage;
    bar->installEventFilter(&onBar);
    page.installEventFilter(&onPage);
    QTest::qWait(50);
    onBar.paints = onPage.paints = 0;

    bar->setSelStart(15001); // well under a pixel on this scale
    QTest::qWait(50);
    QCOMPARE(onBar.paints, 0);
    QCOMPARE(onPage.paints, 0);
    bar->setSelStart(5000);
    QTRY_COMPARE(onBar.paints, 1);
    QCOMPARE(onPage.paints, 0);
}

void TestWidgets::levelBarAtMinimumShowsNoFill() {
    QWidget owner;
    auto* bar = new QProgressBar(&owner);
    bar->setOrientation(Qt::Vertical);
    bar->setTextVisible(false);
    bar->setRange(0, 700);
    bar->setValue(0);
    bar->resize(22, 256);
    bar->setStyle(new LevelBarStyle(&owner));
    // The fill's colour: clearly bluer than the grays of an empty bar.
    const auto filledRows = [&] {
        const QImage img = bar->grab().toImage();
        int rows = 0;
        for (int y = 0; y < img.height(); ++y) {
            bool filled = false;
            for (int x = 0; x < img.width(); ++x) {
                const QColor c = img.pixelColor(x, y);
                filled = filled || c.blue() - c.red() > 40;
            }
            rows += filled;
        }
        return rows;
    };
    QCOMPARE(filledRows(), 0);
    bar->setValue(350);
    QVERIFY(filledRows() > 100); // the style still draws a real level
}

void TestWidgets::radioGroupIndexRules() {
    RadioGroup group;
    QSignalSpy spy(&group, &RadioGroup::itemIndexChanged);
    group.setItemIndex(2); // no items: stays at none
    QCOMPARE(group.itemIndex(), -1);
    QCOMPARE(spy.count(), 0);

    group.setItems({"AND", "OR", "AUTO OR", "MASK", "AUTO TEST"});
    QCOMPARE(group.count(), 5);
    QCOMPARE(group.itemIndex(), -1);
    const auto buttons = group.findChildren<QRadioButton*>();
    QCOMPARE(buttons.size(), 5);
    for (auto* b : buttons)
        QVERIFY(!b->isChecked());

    group.setItemIndex(7); // past the end selects the last item
    QCOMPARE(group.itemIndex(), 4);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.takeFirst().at(0).toInt(), 4);
    group.setItemIndex(9); // still the last item: no change, no signal
    QCOMPARE(spy.count(), 0);

    group.setItemIndex(1);
    QCOMPARE(spy.count(), 1);
    spy.clear();
    group.setItemIndex(-1);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.takeFirst().at(0).toInt(), -1);
    for (auto* b : group.findChildren<QRadioButton*>())
        QVERIFY(!b->isChecked());
    group.setItemIndex(-3);
    QCOMPARE(spy.count(), 0);

    group.setItemIndex(0);
    spy.clear();
    group.clearItems();
    QCOMPARE(group.count(), 0);
    QCOMPARE(group.itemIndex(), -1);
    QCOMPARE(spy.count(), 1);
}

void TestWidgets::radioGroupUserClick() {
    RadioGroup group;
    group.setItems({"NC", "NO"});
    group.resize(120, 60);
    group.show();
    QVERIFY(QTest::qWaitForWindowExposed(&group));
    QSignalSpy spy(&group, &RadioGroup::itemIndexChanged);

    auto buttons = group.findChildren<QRadioButton*>();
    QRadioButton* no = buttons[0]->text() == "NO" ? buttons[0] : buttons[1];
    QTest::mouseClick(no, Qt::LeftButton, {}, QPoint(6, no->height() / 2));
    QCOMPARE(group.itemIndex(), 1);
    QCOMPARE(spy.count(), 1);
    // Clicking the selected item again changes nothing.
    QTest::mouseClick(no, Qt::LeftButton, {}, QPoint(6, no->height() / 2));
    QCOMPARE(spy.count(), 1);
    // A program change while an item is checked moves the check mark.
    group.setItemIndex(0);
    QVERIFY(!no->isChecked());
    QCOMPARE(spy.count(), 2);
}

void TestWidgets::stringGridAddressing() {
    StringGrid grid;
    grid.setColumnCount(10);
    grid.setRowCount(11);
    grid.setCell(3, 0, "Max Pir ABOVE");
    grid.setCell(0, 10, "10 ");
    grid.setCell(9, 10, "-5");
    grid.setCell(10, 1, "outside"); // ignored, no crash
    grid.setCell(1, 11, "outside");
    QCOMPARE(grid.cell(3, 0), QString("Max Pir ABOVE"));
    QCOMPARE(grid.cell(0, 10), QString("10 "));
    QCOMPARE(grid.cell(9, 10), QString("-5"));
    QCOMPARE(grid.cell(0, 0), QString());
    QCOMPARE(grid.cell(10, 1), QString());
    // (col, row) is not (row, col)
    QCOMPARE(grid.cell(10, 9), QString());
    QCOMPARE(grid.item(10, 9)->text(), QString("-5"));
    QVERIFY(grid.editTriggers() == QAbstractItemView::NoEditTriggers);
    QVERIFY(!(grid.item(0, 3)->flags() & Qt::ItemIsSelectable));
    QVERIFY(grid.item(10, 9)->flags() & Qt::ItemIsSelectable);
    QVERIFY(!(grid.item(10, 9)->flags() & Qt::ItemIsEditable));
}

void TestWidgets::stringGridResizeByDragging() {
    StringGrid grid;
    grid.setColumnCount(3);
    grid.setRowCount(3);
    for (int c = 0; c < 3; ++c)
        grid.setColumnWidth(c, 60);
    for (int r = 0; r < 3; ++r)
        grid.setRowHeight(r, 24);
    grid.resize(300, 200);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QWidget* view = grid.viewport();
    const int edge = grid.columnViewportPosition(1) + grid.columnWidth(1);

    // Dragging a column edge in the fixed row widens that column.
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(edge, 10));
    QTest::mouseMove(view, QPoint(edge + 25, 10));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(edge + 25, 10));
    QCOMPARE(grid.columnWidth(1), 85);
    QCOMPARE(grid.columnWidth(0), 60);

    // Dragging a row edge in the fixed column makes that row taller.
    const int bottom = grid.rowViewportPosition(1) + grid.rowHeight(1);
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(10, bottom));
    QTest::mouseMove(view, QPoint(10, bottom + 10));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(10, bottom + 10));
    QCOMPARE(grid.rowHeight(1), 34);

    // The same gesture on a data cell selects instead of resizing.
    const int dataEdge = grid.columnViewportPosition(1) + grid.columnWidth(1);
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(dataEdge, 60));
    QTest::mouseMove(view, QPoint(dataEdge + 20, 60));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(dataEdge + 20, 60));
    QCOMPARE(grid.columnWidth(1), 85);
}

void TestWidgets::panelStatusBarRects() {
    PanelStatusBar bar;
    bar.setFixedHeight(22);
    bar.resize(1009, 22);
    bar.setPanelWidths({100, 400, 200, 50});
    QCOMPARE(bar.panelCount(), 4);
    QCOMPARE(bar.panelRect(0).left(), 0);
    QCOMPARE(bar.panelRect(1).left(), 100);
    QCOMPARE(bar.panelRect(2).left(), 500);
    QCOMPARE(bar.panelRect(2).width(), 198);
    QCOMPARE(bar.panelRect(2).height(), 20);
    QVERIFY(!bar.panelRect(2).intersects(bar.panelRect(1)));
    QVERIFY(!bar.panelRect(2).intersects(bar.panelRect(3)));
    // The last panel reaches the right edge, less its border.
    QVERIFY(bar.panelRect(3).right() >= 1009 - 4 && bar.panelRect(3).right() < 1009);
    QVERIFY(bar.panelRect(4).isNull());

    bar.setPanelText(0, "Disconnect");
    bar.setPanelText(7, "nowhere");
    QCOMPARE(bar.panelText(0), QString("Disconnect"));
    QCOMPARE(bar.panelText(1), QString());
    QCOMPARE(bar.panelText(7), QString());
}

void TestWidgets::barPositionClamps() {
    QProgressBar bar;
    bar.setRange(-30, 70);
    SetBarPosition(&bar, 100);
    QCOMPARE(bar.value(), 70);
    SetBarPosition(&bar, -128);
    QCOMPARE(bar.value(), -30);
    SetBarPosition(&bar, -10);
    QCOMPARE(bar.value(), -10);
}

void TestWidgets::shapeColour() {
    Shape lamp;
    QCOMPARE(lamp.brushColor(), QColor(128, 128, 128));
    lamp.resize(16, 16);
    lamp.setShapeType(Shape::Rectangle);
    lamp.setBrushColor(QColor(255, 0, 0));
    const QImage img = lamp.grab().toImage();
    QCOMPARE(img.pixelColor(8, 8), QColor(255, 0, 0));
}

void TestWidgets::findControlThrowsOnMissingName() {
    QWidget root;
    auto* bar = new QProgressBar(&root);
    bar->setObjectName("ProgressBar1");
    QCOMPARE(FindControl<QProgressBar>(&root, "ProgressBar1"), bar);
    QVERIFY_THROWS_EXCEPTION(std::logic_error, FindControl<QProgressBar>(&root, "ProgressBar9"));
    QVERIFY_THROWS_EXCEPTION(std::logic_error, FindControl<TrackBar>(&root, "ProgressBar1"));
}

QTEST_MAIN(TestWidgets)
// The part of a box below its title, painted as a readout change inside it
// paints it, on a solid background.
static QImage PaintedInterior(QGroupBox& box) {
    QImage image(box.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(239, 239, 239));
    const QRect interior = box.contentsRect().adjusted(0, 4, 0, 0);
    QPainter painter(&image);
    box.render(&painter, QPoint(), QRegion(interior), QWidget::RenderFlags());
    painter.end();
    return image.copy(interior);
}

void TestWidgets::cachedGroupBoxLooksLikeAPlainOne() {
    QWidget window;
    CachedGroupBox cached(QStringLiteral("PIR1"), &window);
    QGroupBox plain(QStringLiteral("PIR1"), &window);
    const auto both = [&](auto change) {
        change(static_cast<QGroupBox&>(cached));
        change(plain);
    };
    both([](QGroupBox& box) { box.setGeometry(0, 0, 120, 90); });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // Drawn, then copied from its picture; then after each change of look.
    for (int round = 0; round < 2; ++round)
        QCOMPARE(PaintedInterior(cached), PaintedInterior(plain));
    both([](QGroupBox& box) { box.resize(160, 130); });
    QCOMPARE(PaintedInterior(cached), PaintedInterior(plain));
    both([](QGroupBox& box) { box.setEnabled(false); });
    QCOMPARE(PaintedInterior(cached), PaintedInterior(plain));
    both([](QGroupBox& box) { box.setFlat(true); });
    QCOMPARE(PaintedInterior(cached), PaintedInterior(plain));
}

// A status moves many bars; each must not paint, and flush, on its own.
void TestWidgets::levelBarIsDrawnWithTheNextPaintPass() {
    QWidget window;
    LevelBar bar(&window);
    bar.setOrientation(Qt::Vertical);
    bar.setTextVisible(false);
    bar.setRange(0, 1000);
    bar.setGeometry(10, 10, 20, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    PaintCount count;
    bar.installEventFilter(&count);
    for (const int level : {100, 400, 700, 1000}) {
        SetBarPosition(&bar, level);
        QCOMPARE(count.paints, 0);
    }
    QTRY_COMPARE(count.paints, 1);
    // A change too small to move the fill is not drawn; reaching an end is.
    SetBarPosition(&bar, 999);
    QTest::qWait(20);
    QCOMPARE(count.paints, 1);
    SetBarPosition(&bar, 0);
    QCOMPARE(count.paints, 1);
    QTRY_COMPARE(count.paints, 2);
}

namespace {

// What the screen shows of `widget`, a child of the shown `window`, once the
// repaints it waits for are done.
QImage ShownOnScreen(QWidget& window, const QWidget* widget) {
    QTest::qWait(20);
    const QPoint at = widget->mapTo(&window, QPoint());
    return window.screen()
        ->grabWindow(window.winId(), at.x(), at.y(), widget->width(), widget->height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

} // namespace

// A level bar repaints only the rows (or columns) around its fill's end;
// what is shown must be what the bar drawn whole shows, over the group box
// beneath it, and what a plain progress bar in its place shows.
void TestWidgets::levelBarRepaintedInPartLooksDrawnWhole() {
    for (const Qt::Orientation orientation : {Qt::Vertical, Qt::Horizontal}) {
        const bool vertical = orientation == Qt::Vertical;
        QWidget window;
        window.resize(vertical ? 150 : 320, vertical ? 320 : 150);
        LevelBarStyle style(&window);
        QProgressBar* bars[2];
        for (int b = 0; b < 2; ++b) {
            auto* box = new CachedGroupBox(QStringLiteral("MW"), &window);
            box->setGeometry(vertical ? QRect(4 + 72 * b, 4, 70, 300)
                                      : QRect(4, 4 + 72 * b, 300, 70));
            bars[b] = b == 0 ? new LevelBar(box) : new QProgressBar(box);
            bars[b]->setStyle(&style);
            bars[b]->setOrientation(orientation);
            bars[b]->setTextVisible(false);
            bars[b]->setRange(0, 700);
            bars[b]->setGeometry(vertical ? QRect(20, 24, 22, 256) : QRect(20, 24, 256, 22));
        }
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const auto shown = [&](const QProgressBar* bar) { return ShownOnScreen(window, bar); };
        // Moves large enough to be shown at once (smaller ones wait, as in
        // QProgressBar), to both ends and back, and from empty to a level.
        for (const int level : {350, 420, 100, 0, 233, 0, 700, 600, 233, 500}) {
            SetBarPosition(bars[0], level);
            bars[1]->setValue(level);
            const QImage inPart = shown(bars[0]);
            bars[0]->repaint();
            QCOMPARE(inPart, shown(bars[0]));
            QCOMPARE(inPart, shown(bars[1]));
        }
    }
}

// A band change repaints only the rows where an end moved; what shows must
// still be the bar drawn whole, the thumb and the band's edges included.
void TestWidgets::trackBarBandRepaintedInPartLooksDrawnWhole() {
    QWidget window;
    window.resize(100, 320);
    auto* box = new CachedGroupBox(QStringLiteral("MW"), &window);
    box->setGeometry(4, 4, 90, 310);
    auto* bar = new TrackBar(box);
    bar->setGeometry(20, 24, 48, 272);
    bar->setRange(10, 700);
    bar->setValue(300); // the thumb, which the band passes beneath
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const auto shown = [&] { return ShownOnScreen(window, bar); };
    // One end at a time and both, by a few rows and across the thumb, to no
    // band and back.
    const std::pair<int, int> bands[] = {{500, 700}, {480, 700}, {520, 700}, {200, 700},
                                         {200, 650}, {250, 600}, {600, 600}, {400, 600},
                                         {100, 400}, {120, 410}, {10, 700}};
    for (const auto& [start, end] : bands) {
        bar->setSelStart(start);
        bar->setSelEnd(end);
        const QImage inPart = shown();
        bar->repaint();
        QCOMPARE(inPart, shown());
    }
}

// Repaints held between an answer and the next request are done when that
// request is on the line; a hold nobody ends must not leave a window
// unpainted.
void TestWidgets::heldRepaintsComeWithDeliveryOrTheLimit() {
    QWidget window;
    window.resize(100, 60);
    auto* label = new QLabel(QStringLiteral("0"), &window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    PaintCount count;
    label->installEventFilter(&count);
    PaintHold hold;
    hold.Hold();
    label->setText(QStringLiteral("1"));
    QTest::qWait(20);
    QCOMPARE(count.paints, 0);
    hold.Deliver();
    QCOMPARE(count.paints, 1);

    hold.Hold();
    label->setText(QStringLiteral("2"));
    QTest::qWait(20);
    QCOMPARE(count.paints, 1);
    QTRY_COMPARE_WITH_TIMEOUT(count.paints, 2, 5 * PaintHold::LimitMs);
    QVERIFY(!hold.Holding());
}

namespace {
struct Told {
    QObject* object;
    QAccessible::Event type;
    int value;
};
QList<Told> g_told;
void RecordTold(QAccessibleEvent* event) {
    const int value = event->type() == QAccessible::ValueChanged
                          ? static_cast<QAccessibleValueChangeEvent*>(event)->value().toInt()
                          : 0;
    g_told.append({event->object(), event->type(), value});
}
} // namespace

// A level that changes with every status reaches a screen reader at most
// once per interval, its latest value at the interval's end; a lamp's state
// is told at once, every time. (Without a bridge the toolkit tells no
// handler: the events are handed in as it would.)
void TestWidgets::liveReadoutsAnnounceAtMostOncePerInterval() {
    QAccessible::installUpdateHandler(RecordTold); // stands for the bridge
    InstallLiveAnnouncementLimit(300);
    QWidget window;
    auto* bar = new QProgressBar(&window);
    bar->setRange(0, 100);
    auto* lamp = new Shape(&window);
    lamp->setGeometry(0, 40, 20, 20);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const auto told = [](QObject* object, QAccessible::Event type) {
        QList<int> values;
        for (const Told& t : g_told)
            if (t.object == object && t.type == type)
                values << t.value;
        return values;
    };
    g_told.clear();
    for (int level = 1; level <= 10; ++level) {
        bar->setValue(level);
        QAccessibleValueChangeEvent event(bar, level);
        TellWithinLiveLimit(&event);
    }
    for (const QColor& colour : {QColor(Qt::red), lamp->offColor()}) {
        lamp->setBrushColor(colour);
        QAccessibleEvent event(lamp, QAccessible::DescriptionChanged);
        TellWithinLiveLimit(&event);
    }
    QCOMPARE(told(bar, QAccessible::ValueChanged), QList<int>{1});
    QCOMPARE(told(lamp, QAccessible::DescriptionChanged).size(), 2);
    QTRY_COMPARE(told(bar, QAccessible::ValueChanged), (QList<int>{1, 10}));
    QTest::qWait(400);
    QCOMPARE(told(bar, QAccessible::ValueChanged).size(), 2);
}

#include "test_widgets.moc"
