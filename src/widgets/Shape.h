#pragma once

#include <QColor>
#include <QWidget>

// A filled shape used as a lamp: its brush colour tells the state. For those
// who cannot see the colour, its accessible description says the state in a
// word: "off" while it shows its off colour, else its lit word ("on", or
// "fault" for a fault lamp).
class Shape : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor brushColor READ brushColor WRITE setBrushColor)
    Q_PROPERTY(ShapeType shapeType READ shapeType WRITE setShapeType)
    Q_PROPERTY(QColor offColor READ offColor WRITE setOffColor)
    Q_PROPERTY(QString litText READ litText WRITE setLitText)
public:
    enum ShapeType { Rectangle, RoundRect, Circle, Ellipse };
    Q_ENUM(ShapeType)

    explicit Shape(QWidget* parent = nullptr);

    QColor brushColor() const { return m_brush; }
    // Repaints at once when the colour changes.
    void setBrushColor(const QColor& colour);
    ShapeType shapeType() const { return m_type; }
    void setShapeType(ShapeType type);
    QColor offColor() const { return m_off; }
    void setOffColor(const QColor& colour);
    QString litText() const { return m_litText; }
    void setLitText(const QString& word);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void describeState();

    QColor m_brush{128, 128, 128};
    QColor m_off{128, 128, 128};
    QString m_litText = QStringLiteral("on");
    ShapeType m_type = Circle;
};
