#include "ActionImages.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace {

constexpr int kSize = 24;

QIcon Draw(const std::function<void(QPainter&)>& paint) {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    paint(p);
    p.end();
    return QIcon(pixmap);
}

const QColor kOutline(40, 40, 40);

void Folder(QPainter& p) {
    p.setPen(QPen(kOutline, 1));
    p.setBrush(QColor(230, 180, 60));
    QPainterPath back;
    back.moveTo(2.5, 5.5);
    back.lineTo(9.5, 5.5);
    back.lineTo(11.5, 7.5);
    back.lineTo(19.5, 7.5);
    back.lineTo(19.5, 19.5);
    back.lineTo(2.5, 19.5);
    back.closeSubpath();
    p.drawPath(back);
    p.setBrush(QColor(250, 215, 110));
    QPainterPath flap;
    flap.moveTo(2.5, 19.5);
    flap.lineTo(6.5, 11.5);
    flap.lineTo(22.5, 11.5);
    flap.lineTo(19.5, 19.5);
    flap.closeSubpath();
    p.drawPath(flap);
}

void Disk(QPainter& p) {
    p.setPen(QPen(kOutline, 1));
    p.setBrush(QColor(50, 90, 170));
    QPainterPath body;
    body.moveTo(3.5, 3.5);
    body.lineTo(18.5, 3.5);
    body.lineTo(20.5, 5.5);
    body.lineTo(20.5, 20.5);
    body.lineTo(3.5, 20.5);
    body.closeSubpath();
    p.drawPath(body);
    p.setBrush(QColor(245, 245, 245));
    p.drawRect(QRectF(6.5, 3.5, 11, 7));
    p.setBrush(QColor(190, 190, 200));
    p.drawRect(QRectF(6.5, 13.5, 11, 7));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(50, 90, 170));
    p.drawRect(QRectF(13, 4.5, 3, 5));
}

void Plug(QPainter& p, qreal gap, const QColor& colour) {
    p.setPen(QPen(kOutline, 1));
    p.setBrush(colour);
    const qreal mid = 12;
    // left half: body with two prongs pointing right
    p.drawRoundedRect(QRectF(2.5, 7.5, mid - 4 - gap / 2, 9), 2, 2);
    p.drawRect(QRectF(mid - 1.5 - gap / 2, 9.5, 3, 1.5));
    p.drawRect(QRectF(mid - 1.5 - gap / 2, 13, 3, 1.5));
    // right half: socket
    p.drawRoundedRect(QRectF(mid + 1.5 + gap / 2, 7.5, mid - 4 - gap / 2, 9), 2, 2);
    p.setPen(QPen(kOutline, 2));
    p.drawLine(QPointF(1, 12), QPointF(2.5, 12));
    p.drawLine(QPointF(21.5, 12), QPointF(23, 12));
}

void Connected(QPainter& p) {
    Plug(p, 0, QColor(70, 180, 70));
}

void Disconnected(QPainter& p) {
    Plug(p, 6, QColor(200, 70, 60));
    p.setPen(QPen(QColor(240, 200, 0), 1.5));
    p.drawLine(QPointF(10, 3), QPointF(14, 7));
    p.drawLine(QPointF(14, 17), QPointF(10, 21));
}

void Exit(QPainter& p) {
    p.setPen(QPen(kOutline, 1));
    p.setBrush(QColor(150, 100, 60));
    p.drawRect(QRectF(3.5, 2.5, 10, 19));
    p.setBrush(QColor(230, 200, 80));
    p.drawEllipse(QPointF(11, 12), 1.2, 1.2);
    p.setPen(QPen(QColor(200, 30, 30), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(12, 12), QPointF(21, 12));
    p.drawLine(QPointF(17.5, 8.5), QPointF(21, 12));
    p.drawLine(QPointF(17.5, 15.5), QPointF(21, 12));
}

void SerialPort(QPainter& p) {
    p.setPen(QPen(kOutline, 1));
    p.setBrush(QColor(170, 175, 185));
    QPainterPath shell;
    shell.moveTo(1.5, 7.5);
    shell.lineTo(22.5, 7.5);
    shell.lineTo(19.5, 17.5);
    shell.lineTo(4.5, 17.5);
    shell.closeSubpath();
    p.drawPath(shell);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 30, 30));
    for (int i = 0; i < 5; ++i)
        p.drawEllipse(QPointF(5 + 3.5 * i, 10.5), 1.1, 1.1);
    for (int i = 0; i < 4; ++i)
        p.drawEllipse(QPointF(6.8 + 3.5 * i, 14.5), 1.1, 1.1);
}

void FlashChip(QPainter& p) {
    p.setPen(QPen(QColor(150, 150, 150), 1.5));
    for (int i = 0; i < 4; ++i) {
        const qreal y = 6 + 4 * i;
        p.drawLine(QPointF(2, y), QPointF(5, y));
        p.drawLine(QPointF(19, y), QPointF(22, y));
    }
    p.setPen(QPen(kOutline, 1));
    p.setBrush(QColor(45, 45, 50));
    p.drawRect(QRectF(5.5, 3.5, 13, 17));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 210, 0));
    QPainterPath bolt;
    bolt.moveTo(13, 5);
    bolt.lineTo(8.5, 13);
    bolt.lineTo(11.5, 13);
    bolt.lineTo(10.5, 19);
    bolt.lineTo(15.5, 10.5);
    bolt.lineTo(12.5, 10.5);
    bolt.closeSubpath();
    p.drawPath(bolt);
}

void Information(QPainter& p) {
    p.setPen(QPen(kOutline, 1));
    p.setBrush(QColor(40, 110, 210));
    p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(12, 7), 1.6, 1.6);
    p.drawRect(QRectF(10.5, 10, 3, 8));
}

void Graph(QPainter& p) {
    p.setPen(QPen(kOutline, 1));
    p.setBrush(Qt::black);
    p.drawRect(QRectF(1.5, 3.5, 21, 17));
    p.setPen(QPen(QColor(70, 70, 70), 1));
    for (int x = 6; x < 22; x += 5)
        p.drawLine(QPointF(x + 0.5, 4), QPointF(x + 0.5, 20));
    p.setPen(QPen(QColor(0, 255, 0), 1.5));
    const QPointF trace[] = {{2, 16}, {6, 15}, {9, 8}, {12, 17}, {15, 11}, {18, 13}, {22, 6}};
    p.drawPolyline(trace, 7);
}

void Bell(QPainter& p) {
    p.setPen(QPen(kOutline, 1));
    p.setBrush(QColor(240, 190, 40));
    QPainterPath bell;
    bell.moveTo(4, 18.5);
    bell.quadTo(7, 16, 7, 10);
    bell.quadTo(7, 4.5, 12, 4.5);
    bell.quadTo(17, 4.5, 17, 10);
    bell.quadTo(17, 16, 20, 18.5);
    bell.closeSubpath();
    p.drawPath(bell);
    p.drawEllipse(QPointF(12, 20.5), 2, 2);
    p.setPen(QPen(QColor(200, 30, 30), 1.5));
    p.drawArc(QRectF(1, 4, 5, 10), 100 * 16, 120 * 16);
    p.drawArc(QRectF(18, 4, 5, 10), -40 * 16, 120 * 16);
}

void Clock(QPainter& p) {
    p.setPen(QPen(kOutline, 1));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
    p.setPen(QPen(kOutline, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(12, 12), QPointF(12, 6));
    p.drawLine(QPointF(12, 12), QPointF(16, 14));
}

} // namespace

QList<QIcon> DrawActionImages() {
    return {Draw(Folder), Draw(Disk),       Draw(Connected), Draw(Disconnected),
            Draw(Exit),   Draw(SerialPort), Draw(FlashChip), Draw(Information),
            Draw(Graph),  Draw(Bell),       Draw(Clock)};
}
