#pragma once

#include <QGroupBox>
#include <QPixmap>
#include <QStyleOptionGroupBox>

// A group box for readouts that change many times a second.
//
// Bars, lamps and labels are not opaque, so every change inside a box paints
// the box beneath it too. Fusion draws a box by loading and stretching a
// frame picture and laying out the title, which costs far more than the
// readout itself. This box draws its look once into a picture and copies the
// needed part from there, until its look changes (size, title, state,
// palette, font, style). The band holding the title is always painted the
// usual way, so the title keeps the platform's own text rendering.
class CachedGroupBox : public QGroupBox {
    Q_OBJECT
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool SameLook(const QStyleOptionGroupBox& option) const;
    void DrawPicture(const QStyleOptionGroupBox& option);

    QPixmap m_picture;
    QStyleOptionGroupBox m_look;
    QFont m_font;
    const QStyle* m_style = nullptr;
    qreal m_ratio = 0;
    QRect m_titleBand;
};
