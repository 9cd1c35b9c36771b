#include "GraphDrawing.h"
#include "GraphGeometry.h"
#include "GraphImage.h"
#include "GraphPlacement.h"
#include "TGraphics.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QMenu>
#include <QPainter>
#include <QTest>

#include <set>
#include <utility>

namespace {

using Pixels = std::vector<std::pair<int, int>>;

Pixels Walk(GraphPoint a, GraphPoint b, int w = 1000, int h = 1000) {
    Pixels out;
    RasterizeLine(a, b, w, h, [&](int x, int y, std::int64_t) { out.emplace_back(x, y); });
    return out;
}

QRgb At(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFF;
}

QRgb Rgb(const QColor& c) {
    return c.rgb() & 0xFFFFFF;
}

const QRgb Black = 0x000000;

// Arrays as a freshly created window holds them: every trace flat on its row.
struct Traces {
    PointArray ch[6];
    explicit Traces(int count) {
        const std::int32_t rows[6] = {MwRow, Pir1Row, Pir2Row, MwRow, Pir1Row, Pir2Row};
        for (int i = 0; i < 6; ++i)
            SetUpArray(ch[i], count, rows[i]);
    }
};

} // namespace

class TestGraph : public QObject {
    Q_OBJECT
private slots:
    // --- lines -----------------------------------------------------------

    void lineCoversStartButNotEnd() {
        QCOMPARE(Walk({0, 0}, {5, 0}), (Pixels{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}));
        QCOMPARE(Walk({5, 0}, {0, 0}), (Pixels{{5, 0}, {4, 0}, {3, 0}, {2, 0}, {1, 0}}));
        QCOMPARE(Walk({2, 7}, {2, 4}), (Pixels{{2, 7}, {2, 6}, {2, 5}}));
        QCOMPARE(Walk({0, 0}, {3, 3}), (Pixels{{0, 0}, {1, 1}, {2, 2}}));
        QVERIFY(Walk({4, 4}, {4, 4}).empty());
        // A shallow line: each column once, the row changes halfway.
        QCOMPARE(Walk({0, 0}, {4, 1}), (Pixels{{0, 0}, {1, 0}, {2, 1}, {3, 1}}));
    }

    void lineIsClippedToTheImage() {
        // Starts left of the image: only the columns inside are plotted, and
        // the step count keeps counting from the real start.
        std::vector<std::int64_t> steps;
        Pixels px;
        const auto n = RasterizeLine({-5, 2}, {5, 2}, 3, 4, [&](int x, int y, std::int64_t k) {
            px.emplace_back(x, y);
            steps.push_back(k);
        });
        QCOMPARE(n, std::int64_t{10});
        QCOMPARE(px, (Pixels{{0, 2}, {1, 2}, {2, 2}}));
        QCOMPARE(steps, (std::vector<std::int64_t>{5, 6, 7}));

        QVERIFY(Walk({0, -9}, {10, -9}, 20, 20).empty());
        QVERIFY(Walk({0, 30}, {10, 20}, 20, 20).empty());
        // A long steep line visits only the rows inside.
        QCOMPARE(Walk({1, -6000}, {2, 7000}, 10, 264).size(), std::size_t{264});
        // Far-off coordinates do not overflow.
        QCOMPARE(Walk({0, INT32_MIN + 1}, {0, INT32_MAX}, 4, 4).size(), std::size_t{4});
    }

    void dashDotDotPatternRunsOnAcrossSegments() {
        QImage img = NewGraphImage(60, 3);
        img.fill(Qt::white);
        // Two segments meeting at x = 10: the pattern must not restart there.
        DrawPolyline(img, PointArray{{0, 1}, {10, 1}, {50, 1}}, qRgb(1, 2, 3), true);
        for (int x = 0; x < 50; ++x) {
            const QRgb expected = DashDotDotInk(x) ? qRgb(1, 2, 3) & 0xFFFFFF : Black;
            QVERIFY2(At(img, x, 1) == expected, qPrintable(QString::number(x)));
        }
        QCOMPARE(At(img, 50, 1), QRgb(0xFFFFFF)); // end point of the polyline
        QVERIFY(DashDotDotInk(8) && !DashDotDotInk(9) && !DashDotDotInk(11));
        QVERIFY(DashDotDotInk(12) && !DashDotDotInk(15) && DashDotDotInk(20));
        QVERIFY(!DashDotDotInk(23) && DashDotDotInk(24));
    }

    // --- background ---------------------------------------------------------

    void backgroundGridAtInitialSize() {
        QCOMPARE(CentreRow(264), 132);
        QCOMPARE(CentreColumn(980), 490);
        QCOMPARE(CentreColumn(981), 490); // 490.5 rounds to even
        QCOMPARE(CentreColumn(983), 492); // 491.5 rounds to even

        const auto lines = BackgroundSegments(980, 264);
        QCOMPARE(lines.size(), std::size_t{264});
        QCOMPARE(lines[0], (LineSegment{{0, 10}, {980, 10}}));
        QCOMPARE(lines[47], (LineSegment{{0, 480}, {980, 480}}));
        QCOMPARE(lines[48], (LineSegment{{488, 4}, {493, 4}}));
        QCOMPARE(lines[52], (LineSegment{{486, 20}, {495, 20}}));
        QCOMPARE(lines[148], (LineSegment{{98, 0}, {98, 980}}));
        QCOMPARE(lines[163], (LineSegment{{1568, 0}, {1568, 980}}));
        QCOMPARE(lines[164], (LineSegment{{10, 12}, {10, 252}}));
        QCOMPARE(lines[166].A.X, 29); // 29.4
        QCOMPARE(lines[263].A.X, 980);
    }

    void backgroundPixels() {
        QImage bg = NewGraphImage(980, 264);
        DrawBackground(bg, 264);
        const QRgb grid = Rgb(GraphColours::Grid);
        QCOMPARE(At(bg, 5, 10), grid);
        QCOMPARE(At(bg, 979, 260), grid);
        QCOMPARE(At(bg, 5, 11), Black);
        QCOMPARE(At(bg, 98, 5), grid);  // long vertical line
        QCOMPARE(At(bg, 97, 5), Black); //
        QCOMPARE(At(bg, 98, 263), grid);
        QCOMPARE(At(bg, 29, 12), grid); // short vertical band 12..251
        QCOMPARE(At(bg, 29, 251), grid);
        QCOMPARE(At(bg, 29, 11), Black);
        QCOMPARE(At(bg, 29, 252), Black); // its end point stays unpainted
        QCOMPARE(At(bg, 486, 24), Black); // short tick: 488..492
        QCOMPARE(At(bg, 488, 24), grid);
        QCOMPARE(At(bg, 492, 24), grid);
        QCOMPARE(At(bg, 493, 24), Black);
        QCOMPARE(At(bg, 487, 4), Black); // the first tick
        QCOMPARE(At(bg, 488, 4), grid);
    }

    // --- traces -------------------------------------------------------------

    void flatTracesAndReferenceLines() {
        QImage bg = NewGraphImage(980, 264);
        DrawBackground(bg, 264);
        QImage screen = NewGraphImage(980, 264);
        Traces t(980);
        for (int i = 3; i < 6; ++i)
            for (auto& p : t.ch[i])
                p.Y += 1; // reference levels 0 lie one row below the traces
        BeamData(t.ch[0], t.ch[1], t.ch[2], t.ch[3], t.ch[4], t.ch[5], screen, bg);

        QCOMPARE(At(screen, 0, 80), Rgb(GraphColours::Mw));
        QCOMPARE(At(screen, 978, 80), Rgb(GraphColours::Mw));
        // The polyline ends short of its last point: the grid row shows there.
        QCOMPARE(At(screen, 979, 80), Rgb(GraphColours::Grid));
        QCOMPARE(At(screen, 500, 160), Rgb(GraphColours::Pir1));
        QCOMPARE(At(screen, 500, 240), Rgb(GraphColours::Pir2));
        QCOMPARE(At(screen, 0, 81), Rgb(GraphColours::MwReference));
        QCOMPARE(At(screen, 0, 161), Rgb(GraphColours::Pir1Reference));
        QCOMPARE(At(screen, 0, 241), Rgb(GraphColours::Pir2Reference));
        // Gap of the pattern over the short grid line at x = 10: painted black.
        QCOMPARE(At(bg, 10, 81), Rgb(GraphColours::Grid));
        QCOMPARE(At(screen, 10, 81), Black);
        QCOMPARE(At(screen, 10, 82), Rgb(GraphColours::Grid));
        QCOMPARE(At(screen, 12, 81), Rgb(GraphColours::MwReference));
    }

    // A redraw of a part gives there exactly the pixels of a whole redraw,
    // dash pattern included, and leaves the rest alone.
    void partialRedrawMatchesAWholeOne() {
        QImage bg = NewGraphImage(300, 264);
        DrawBackground(bg, 264);
        Traces t(300);
        for (int i = 0; i < 300; ++i) {
            t.ch[0][i].Y = 80 - (i * 37) % 70;
            t.ch[1][i].Y = 160 - (i * 13) % 75;
            t.ch[3][i].Y = 100 + (i % 40 == 0 ? 30 : 0); // dashed, with steps
        }
        t.ch[4][120] = GraphPoint{0, 0}; // a collapsed point drawn from far left
        QImage whole = NewGraphImage(300, 264);
        BeamData(t.ch[0], t.ch[1], t.ch[2], t.ch[3], t.ch[4], t.ch[5], whole, bg);
        const QImage before = NewGraphImage(300, 264); // black: nothing redrawn yet
        // As a status leaves it: moved columns, and label boxes apart from
        // them, whose bounding box holds segments that meet neither.
        const QRegion columnsAndBoxes =
            QRegion(97, 0, 5, 264) | QRegion(180, 40, 50, 13) | QRegion(140, 200, 30, 13);
        for (const QRegion& area :
             {QRegion(0, 0, 300, 264), QRegion(97, 0, 5, 264), QRegion(150, 90, 60, 20),
              QRegion(290, 0, 40, 300), columnsAndBoxes}) {
            QImage part = before.copy();
            BeamData(t.ch[0], t.ch[1], t.ch[2], t.ch[3], t.ch[4], t.ch[5], part, bg, area);
            for (int y = 0; y < 264; ++y)
                for (int x = 0; x < 300; ++x)
                    QCOMPARE(At(part, x, y), area.contains(QPoint(x, y)) ? At(whole, x, y) : Black);
        }
    }

    void redrawErasesPreviousPicture() {
        QImage bg = NewGraphImage(100, 264);
        DrawBackground(bg, 264);
        QImage screen = bg.copy();
        Traces t(100);
        t.ch[0][50].Y = 25;
        BeamData(t.ch[0], t.ch[1], t.ch[2], t.ch[3], t.ch[4], t.ch[5], screen, bg);
        QCOMPARE(At(screen, 50, 25), Rgb(GraphColours::Mw));
        QCOMPARE(At(screen, 49, 55), Rgb(GraphColours::Mw)); // rising edge 49 -> 50
        QCOMPARE(At(screen, 50, 31), Rgb(GraphColours::Mw));
        QCOMPARE(At(screen, 51, 79), Rgb(GraphColours::Mw)); // falling edge 50 -> 51
        t.ch[0][50].Y = 80;
        BeamData(t.ch[0], t.ch[1], t.ch[2], t.ch[3], t.ch[4], t.ch[5], screen, bg);
        QCOMPARE(At(screen, 50, 25), At(bg, 50, 25));
        QCOMPARE(At(screen, 49, 55), At(bg, 49, 55));
    }

    void collapsedReferenceArraysDrawNothing() {
        QImage bg = NewGraphImage(200, 264);
        DrawBackground(bg, 264);
        QImage screen = NewGraphImage(200, 264);
        const PointArray origin(200, GraphPoint{0, 0});
        BeamData({}, {}, {}, origin, origin, origin, screen, bg);
        QCOMPARE(screen, bg);
    }

    // Labels are copied from pictures drawn once; they must look exactly as
    // if box and text were painted in place, also where the image cuts them.
    void labelsLookAsIfPaintedInPlace() {
        QImage background = NewGraphImage(200, 100);
        DrawBackground(background, 100);
        const TraceLabel labels[] = {{QStringLiteral("MW"), 11, 71},
                                     {QStringLiteral("UP PIR"), -7, 3},
                                     {QStringLiteral("DOWN PIR"), 170, 92}};
        QImage expected = background.copy();
        {
            QPainter painter(&expected);
            const QFont font(QStringLiteral("Tahoma"), 8);
            painter.setFont(font);
            painter.setPen(Qt::black);
            const QFontMetrics metrics(font, &expected);
            for (const TraceLabel& label : labels) {
                painter.fillRect(label.X, label.Y, metrics.horizontalAdvance(label.Text),
                                 metrics.height(), GraphColours::LabelBox);
                painter.drawText(label.X, label.Y + metrics.ascent(), label.Text);
            }
        }
        for (int round = 0; round < 2; ++round) { // drawn, then from the pictures
            QImage screen = background.copy();
            DrawTraceLabels(screen, labels, 3);
            QCOMPARE(screen, expected);
        }
    }

    void changedPixelsCoverEverySegmentThatCanLookDifferent() {
        PointArray before;
        SetUpArray(before, 10, 80);
        for (GraphPoint& p : before)
            p.X += 100; // columns 100..109
        PointArray after = before;
        QVERIFY(ChangedPixels(before, after, false).Empty());
        after[4].Y = 20;
        // Both segments at the moved point, between its old and new rows; the
        // dash pattern runs on to the end.
        QCOMPARE(ChangedPixels(before, after, false), (PixelBox{103, 20, 105, 80}));
        QCOMPARE(ChangedPixels(before, after, true), (PixelBox{103, 20, 109, 80}));
        // Going back, the segments drawn up to row 20 must still be wiped.
        QCOMPARE(ChangedPixels(after, before, false), (PixelBox{103, 20, 105, 80}));
        after[0].Y = 20;
        QCOMPARE(ChangedPixels(before, after, false), (PixelBox{100, 20, 105, 80}));
        // A point collapsed to the origin draws a segment back to column 0.
        after[7] = GraphPoint{0, 0};
        QCOMPARE(ChangedPixels(before, after, false), (PixelBox{0, 0, 108, 80}));
        after.pop_back();
        const PixelBox all = ChangedPixels(before, after, false);
        QVERIFY(all.Left <= 0 && all.Right >= 1000 && all.Top <= 0 && all.Bottom >= 1000);

        // Long arrays are compared a block at a time: a moved point is found
        // wherever it lies, at either edge of a block or at either end.
        PointArray line;
        SetUpArray(line, 100, 80);
        for (int moved = 0; moved < 100; ++moved) {
            PointArray changed = line;
            changed[static_cast<std::size_t>(moved)].Y = 30;
            const PixelBox expected{std::max(moved - 1, 0), 30, std::min(moved + 1, 99), 80};
            QCOMPARE(ChangedPixels(line, changed, false), expected);
        }
    }

    void labelsOnAquaBoxes() {
        QImage screen = NewGraphImage(200, 100);
        const TraceLabel labels[] = {{QStringLiteral("MW"), 11, 71}};
        DrawTraceLabels(screen, labels, 1);
        const QRgb aqua = Rgb(GraphColours::LabelBox);
        QCOMPARE(At(screen, 11, 71), aqua);
        QCOMPARE(At(screen, 10, 71), Black);
        QCOMPARE(At(screen, 11, 70), Black);
        // The box holds dark text pixels and ends a few pixels right.
        int dark = 0;
        int right = 11;
        for (int y = 71; y < 90; ++y)
            for (int x = 11; x < 60; ++x) {
                const QRgb c = At(screen, x, y);
                if (c == aqua)
                    right = std::max(right, x);
                else if (qGray(c) < 100 && c != Black)
                    ++dark;
            }
        QVERIFY(right > 15);
        QVERIFY(dark > 0);
    }

    // --- arrays -------------------------------------------------------------

    void clearFlattensValueTracesOnly() {
        Traces t(10);
        for (int i = 0; i < 6; ++i)
            for (auto& p : t.ch[i])
                p.Y = 7;
        const int len = 10;
        delArray(t.ch[0], t.ch[1], t.ch[2], t.ch[3], len);
        QCOMPARE(t.ch[0][9], (GraphPoint{9, 80}));
        QCOMPARE(t.ch[1][0], (GraphPoint{0, 160}));
        QCOMPARE(t.ch[2][5], (GraphPoint{5, 240}));
        QCOMPARE(t.ch[3][5].Y, 7);
        QCOMPARE(t.ch[4][5].Y, 7);
        // A length beyond the arrays stays inside them.
        const int tooLong = 50;
        delArray(t.ch[0], t.ch[1], t.ch[2], t.ch[3], tooLong);
        QCOMPARE(t.ch[0].size(), std::size_t{10});
    }

    // --- window -------------------------------------------------------------

    void windowAsCreated() {
        TGraphics g;
        QCOMPARE(g.windowTitle(), QStringLiteral("VIEW"));
        QCOMPARE(g.size(), QSize(984, 281));
        QCOMPARE(g.minimumHeight(), 281);
        QCOMPARE(g.maximumHeight(), 281);
        QCOMPARE(g.maximumWidth(), 1000);
        QCOMPARE(g.minimumWidth(), 0);
        QCOMPARE(g.pos(), QPoint(460, 602));
        QVERIFY(g.windowFlags().testFlag(Qt::Tool));
        QVERIFY(!g.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!g.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(g.font().pixelSize(), 11);
        QCOMPARE(g.findChild<QGroupBox*>("GroupBox1")->geometry(), QRect(0, 0, 984, 281));
        QCOMPARE(g.imgScreen->objectName(), QStringLiteral("imgScreen"));
        QCOMPARE(g.imgScreen->size(), QSize(980, 264));
        QCOMPARE(g.Image2.size(), QSize(980, 264));
        QCOMPARE(g.Screen(), g.Image2);
        QCOMPARE(g.PointCount, 980);
        for (const PointArray* a : {&g.Ch1Points, &g.Ch4Points, &g.Ch6Points})
            QCOMPARE(a->size(), std::size_t{980});
        QCOMPARE(g.Ch1Points[979], (GraphPoint{979, 80}));
        QCOMPARE(g.Ch5Points[3], (GraphPoint{3, 160}));
        QCOMPARE(g.Ch3Points[0], (GraphPoint{0, 240}));

        const auto actions = g.PopupMenu1->actions();
        QCOMPARE(g.PopupMenu1->objectName(), QStringLiteral("PopupMenu1"));
        QCOMPARE(actions.size(), 2);
        QCOMPARE(actions[0]->objectName(), QStringLiteral("Clear1"));
        QCOMPARE(actions[0]->text(), QStringLiteral("Clear"));
        QCOMPARE(actions[1]->objectName(), QStringLiteral("DirectConvert1"));
        QCOMPARE(actions[1]->text(), QStringLiteral("Direct Convert"));
        QVERIFY(actions[1]->isCheckable());
        QVERIFY(!g.DirectConvert());
        actions[1]->trigger();
        QVERIFY(g.DirectConvert());
        g.Direct_ConvertClick();
        QVERIFY(!g.DirectConvert());
    }

    void resizeRebuildsArraysAndBackground() {
        TGraphics g;
        // The feed draws while the window is still hidden; showing it (a
        // resize of unchanged size) must keep the traces.
        g.Ch1Points[100].Y = 5;
        g.show();
        QVERIFY(QTest::qWaitForWindowExposed(&g));
        QCOMPARE(g.Ch1Points[100].Y, 5);
        g.hide();
        g.show();
        QCoreApplication::processEvents();
        QCOMPARE(g.Ch1Points[100].Y, 5);

        g.resize(504, 400);
        QCoreApplication::processEvents();
        QCOMPARE(g.size(), QSize(504, 281)); // the height cannot change
        QCOMPARE(g.imgScreen->size(), QSize(500, 264));
        QCOMPARE(g.PointCount, 500);
        for (const PointArray* a :
             {&g.Ch1Points, &g.Ch2Points, &g.Ch3Points, &g.Ch4Points, &g.Ch5Points, &g.Ch6Points})
            QCOMPARE(a->size(), std::size_t{500});
        QCOMPARE(g.Ch1Points[100], (GraphPoint{100, 80}));
        QCOMPARE(g.Image2.size(), QSize(500, 264));
        QCOMPARE(g.Screen().size(), QSize(500, 264));
        // The grid is drawn for the new width: long lines every 50 columns.
        QCOMPARE(At(g.Image2, 50, 3), Rgb(GraphColours::Grid));
        QCOMPARE(At(g.Image2, 98, 3), Black);

        g.resize(2000, 281);
        QCoreApplication::processEvents();
        QCOMPARE(g.width(), 1000);
        QCOMPARE(g.PointCount, 996);
    }

    void clearCommandAndCloseBox() {
        TGraphics g;
        g.show();
        QVERIFY(QTest::qWaitForWindowExposed(&g));
        g.Ch1Points[3].Y = 1;
        g.Ch2Points[3].Y = 1;
        g.Ch4Points[3].Y = 1;
        g.BeamData();
        const QImage before = g.Screen().copy();
        g.Clear1->trigger();
        QCOMPARE(g.Ch1Points[3].Y, 80);
        QCOMPARE(g.Ch2Points[3].Y, 160);
        QCOMPARE(g.Ch4Points[3].Y, 1);
        QCOMPARE(g.Screen(), before); // nothing redrawn until the next status

        emit g.imgScreen->customContextMenuRequested(QPoint(10, 10));
        QTRY_VERIFY(g.PopupMenu1->isVisible());
        g.PopupMenu1->hide();

        g.close();
        QVERIFY(g.isHidden());
        g.show();
        QVERIFY(g.isVisible());
    }

    // The usual place (460, 602) hangs off a laptop's 1366 x 768 screen and
    // off the right of 1280 x 1024; the window must open wholly on screen.
    void placementOnSmallScreens() {
        const QSize frame(1000, 320);
        const QPoint usual(460, 602);
        // Main window 1009 x 446 centred; its status bar is its last 22 rows.
        const auto statusBar = [](const QRect& screen) {
            const QRect main(QPoint(0, 0), QSize(1009, 446));
            const QRect centred = main.translated(screen.center() - main.center());
            return QRect(centred.left(), centred.bottom() - 21, 1009, 22);
        };

        // Room enough: the usual place, even where it covers the status bar.
        const QRect large(0, 0, 1920, 1080);
        QCOMPARE(PlaceGraphFrame(usual, frame, large, statusBar(large)), usual);

        // Laptop: the least move that fits would cover the status bar, so
        // the window goes just above it.
        const QRect laptop(0, 0, 1366, 768);
        const QRect bar = statusBar(laptop);
        const QPoint placed = PlaceGraphFrame(usual, frame, laptop, bar);
        QVERIFY(laptop.contains(QRect(placed, frame)));
        QVERIFY(!QRect(placed, frame).intersects(bar));
        QCOMPARE(placed, QPoint(366, bar.top() - 320));

        // 1280 x 1024 with a task bar at the bottom, on a second monitor.
        const QRect right(1920, 0, 1280, 984);
        const QPoint there =
            PlaceGraphFrame(right.topLeft() + usual, frame, right, statusBar(right));
        QVERIFY(right.contains(QRect(there, frame)));
        QVERIFY(!QRect(there, frame).intersects(statusBar(right)));
        QCOMPARE(there.x(), 1920 + 280);

        // No clear place at all: inside the screen still wins.
        const QRect tiny(0, 0, 1024, 600);
        const QRect across(0, 300, 1024, 22);
        QCOMPARE(PlaceGraphFrame(usual, frame, tiny, across), QPoint(24, 280));
    }
};

QTEST_MAIN(TestGraph)
#include "test_graph.moc"
