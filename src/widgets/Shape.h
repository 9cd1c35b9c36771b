#pragma once

#include <QColor>
#include <QWidget>

// A filled shape used as a lamp: its brush colour tells the state.
class Shape : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor brushColor READ brushColor WRITE setBrushColor)
    Q_PROPERTY(ShapeType shapeType READ shapeType WRITE setShapeType)
public:
    enum ShapeType { Rectangle, RoundRect, Circle, Ellipse };
    Q_ENUM(ShapeType)

    explicit Shape(QWidget* parent = nullptr);

    QColor brushColor() const { return m_brush; }
    // Repaints at once when the colour changes.
    void setBrushColor(const QColor& colour);
    ShapeType shapeType() const { return m_type; }
    void setShapeType(ShapeType type);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_brush{128, 128, 128};
    ShapeType m_type = Circle;
};
