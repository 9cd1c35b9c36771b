#pragma once

#include "GraphGeometry.h"

#include <QImage>
#include <QRegion>
#include <QWidget>

#include <array>
#include <memory>

class GraphImage;
class QAction;
class QGroupBox;
class QMenu;

namespace Ui {
class TGraphics;
}

// The signal graph window: six point arrays (three traces and their dashed
// reference lines), a gridded background `Image2` and the shown image
// `imgScreen`. The live view writes into the arrays and redraws; this window
// keeps the arrays and the background matched to its size.
class TGraphics : public QWidget {
    Q_OBJECT
public:
    // Client area when created; its height is the only one allowed (a 320
    // pixel high tool window), the width may shrink freely and grow to 1000.
    static constexpr int InitialClientWidth = 984;
    static constexpr int ClientHeight = 281;
    static constexpr int MaximumWidth = 1000;
    // The images sit inside the frame of GroupBox1 at this inset.
    static constexpr int ImageLeft = 2;
    static constexpr int ImageTop = 15;
    static constexpr int ImageRight = 2;
    static constexpr int ImageBottom = 2;
    // The frame's usual place, from the top-left of the main window's
    // screen, and the frame around the client area where the window system
    // has not told it yet (a tool window 320 high and at most 1000 wide).
    static constexpr QPoint UsualPlace{460, 602};
    static constexpr QSize AssumedFrame{16, 39};

    explicit TGraphics(QWidget* parent = nullptr);
    ~TGraphics() override;

    PointArray Ch1Points; // microwave level
    PointArray Ch2Points; // high PIR level
    PointArray Ch3Points; // low PIR level
    PointArray Ch4Points; // microwave reference line
    PointArray Ch5Points; // high PIR reference line
    PointArray Ch6Points; // low PIR reference line
    int PointCount = 0;   // length of every array = width of imgScreen

    QImage Image2;         // background: black with the grid, never shown
    GraphImage* imgScreen; // the shown image; its image() is the canvas

    QGroupBox* GroupBox1;
    QMenu* PopupMenu1;
    QAction* Clear1;
    QAction* DirectConvert1;

    // The canvas of imgScreen.
    QImage& Screen();
    // Whether the feed plots the direct levels ("Direct Convert" checked).
    bool DirectConvert() const;

    // Arrays and background for the present size, then a repaint.
    void FormResize();
    void FormActivate();
    // Redraws imgScreen from Image2 and the six arrays.
    void BeamData();
    // Shows what has been drawn into imgScreen.
    void ShowScreen();
    // Where imgScreen no longer matches the arrays as they are now: around
    // the segments whose points moved since it was last shown through
    // ShowRedrawn, and the trace labels shown then. Most statuses move one
    // point. The whole picture after a resize or anything shown by
    // ShowScreen. Box by box: copying a row costs a trip to memory that has
    // gone cold since the last status, and the box around them all would
    // span the three traces' rows from top to bottom.
    QRegion StaleArea() const;
    // Shows `area`, redrawn by BeamData, and the trace labels `labels` drawn
    // on top, and remembers both for the next StaleArea.
    void ShowRedrawn(const QRegion& area, const QRegion& labels);
    void ClearClick();
    void Direct_ConvertClick();

    // Before showing: the whole frame inside the available area of the
    // screen that shows `mainWindow`, at the usual place the first time where
    // that fits, later where the user left it, and clear of `keepClear` (in
    // screen coordinates) where the screen allows.
    void PlaceOnScreenOf(const QWidget& mainWindow, const QRect& keepClear);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    void SetUpArrays();
    void PrepareBackground();
    void PlaceImages();

    std::unique_ptr<Ui::TGraphics> m_ui;
    // The six arrays in drawing order.
    std::array<const PointArray*, 6> Arrays() const;
    // What imgScreen showed when it was last shown through ShowRedrawn.
    std::array<PointArray, 6> m_shownPoints;
    QRegion m_shownLabels;
    bool m_showWhole = true; // the picture changed in ways only a full repaint shows
    bool m_placed = false;   // placed once: from then on the user's place counts
};
