#include "TGraphics.h"

#include "GraphDrawing.h"
#include "GraphImage.h"
#include "GraphPlacement.h"
#include "TGraphicsNames.h"
#include "ui_TGraphics.h"

#include <QEvent>
#include <QMenu>
#include <QResizeEvent>
#include <QScreen>

#include <algorithm>

TGraphics::TGraphics(QWidget* parent)
    : QWidget(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_ui(std::make_unique<Ui::TGraphics>()) {
    m_ui->setupUi(this);
    NameGraphicsControls(this);
    imgScreen = m_ui->imgScreen;
    GroupBox1 = m_ui->GroupBox1;
    Clear1 = m_ui->Clear1;
    DirectConvert1 = m_ui->DirectConvert1;

    PopupMenu1 = new QMenu(imgScreen);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->addAction(Clear1);
    PopupMenu1->addAction(DirectConvert1);
    connect(imgScreen, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu1->popup(imgScreen->mapToGlobal(pos)); });
    connect(Clear1, &QAction::triggered, this, &TGraphics::ClearClick);
    // DirectConvert1 is a checkable action: choosing it inverts its check
    // mark, which the live view reads at every status.

    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    setFont(font);
    setWindowTitle(QStringLiteral("VIEW"));
    setFixedHeight(ClientHeight);
    setMaximumWidth(MaximumWidth);
    resize(InitialClientWidth, ClientHeight);
    move(UsualPlace);

    PlaceImages();
    SetUpArrays();
    PrepareBackground();
}

TGraphics::~TGraphics() = default;

QImage& TGraphics::Screen() {
    return imgScreen->image();
}

bool TGraphics::DirectConvert() const {
    return DirectConvert1->isChecked();
}

void TGraphics::FormResize() {
    SetUpArrays();
    PrepareBackground();
    ShowScreen();
    update();
}

void TGraphics::FormActivate() {
    update();
}

void TGraphics::BeamData() {
    ::BeamData(Ch1Points, Ch2Points, Ch3Points, Ch4Points, Ch5Points, Ch6Points, Screen(), Image2);
    ShowScreen();
}

void TGraphics::ShowScreen() {
    m_showWhole = true;
    imgScreen->update();
}

std::array<const PointArray*, 6> TGraphics::Arrays() const {
    return {&Ch1Points, &Ch2Points, &Ch3Points, &Ch4Points, &Ch5Points, &Ch6Points};
}

QRegion TGraphics::StaleArea() const {
    const QRect whole = imgScreen->image().rect();
    if (m_showWhole)
        return whole;
    const auto now = Arrays();
    QRegion stale = m_shownLabels;
    for (std::size_t k = 0; k < now.size(); ++k) {
        const bool dashDotDot = k >= 3; // the reference lines
        const PixelBox box = ChangedPixels(m_shownPoints[k], *now[k], dashDotDot);
        if (box.Empty())
            continue;
        // Limited to the picture first: the box of arrays that differ
        // anywhere reaches the ends of the int range.
        const QRect changed(
            QPoint(std::max(box.Left, whole.left()), std::max(box.Top, whole.top())),
            QPoint(std::min(box.Right, whole.right()), std::min(box.Bottom, whole.bottom())));
        if (changed == whole)
            return whole;
        stale |= changed;
    }
    return stale.intersected(whole);
}

void TGraphics::ShowRedrawn(const QRegion& area, const QRegion& labels) {
    const QRegion changed = area | labels;
    if (!changed.isEmpty())
        imgScreen->update(changed);
    const auto now = Arrays();
    for (std::size_t k = 0; k < now.size(); ++k)
        m_shownPoints[k] = *now[k];
    m_shownLabels = labels;
    m_showWhole = false;
}

void TGraphics::ClearClick() {
    delArray(Ch1Points, Ch2Points, Ch3Points, Ch4Points, PointCount);
    // The picture is left as it is; the next status draws the flat traces.
    ShowScreen();
}

void TGraphics::Direct_ConvertClick() {
    DirectConvert1->toggle();
}

void TGraphics::PlaceOnScreenOf(const QWidget& mainWindow, const QRect& keepClear) {
    const QScreen* screen = mainWindow.screen();
    if (!screen)
        return;
    const QPoint usual = m_placed ? pos() : screen->geometry().topLeft() + UsualPlace;
    const QRect frame = frameGeometry();
    const QSize frameSize = frame.size() != size() ? frame.size() : size() + AssumedFrame;
    move(PlaceGraphFrame(usual, frameSize, screen->availableGeometry(), keepClear));
    m_placed = true;
}

void TGraphics::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceImages();
    // Showing the window delivers a resize of unchanged size; that must not
    // wipe the traces.
    if (imgScreen->width() != PointCount || imgScreen->height() != Image2.height())
        FormResize();
}

bool TGraphics::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    return QWidget::event(event);
}

void TGraphics::SetUpArrays() {
    PointCount = imgScreen->width();
    SetUpArray(Ch1Points, PointCount, MwRow);
    SetUpArray(Ch2Points, PointCount, Pir1Row);
    SetUpArray(Ch3Points, PointCount, Pir2Row);
    SetUpArray(Ch4Points, PointCount, MwRow);
    SetUpArray(Ch5Points, PointCount, Pir1Row);
    SetUpArray(Ch6Points, PointCount, Pir2Row);
}

void TGraphics::PrepareBackground() {
    const int width = imgScreen->width();
    const int height = imgScreen->height();
    Image2 = NewGraphImage(width, height);
    DrawBackground(Image2, height);
    Screen() = Image2.copy();
}

void TGraphics::PlaceImages() {
    GroupBox1->setGeometry(rect());
    imgScreen->setGeometry(ImageLeft, ImageTop, std::max(0, width() - ImageLeft - ImageRight),
                           std::max(0, height() - ImageTop - ImageBottom));
}
