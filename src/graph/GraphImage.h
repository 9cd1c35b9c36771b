#pragma once

#include <QImage>
#include <QWidget>

// Shows an off-screen image at its top-left corner. The image is the canvas
// that the graph is drawn on; the widget only presents it.
class GraphImage : public QWidget {
    Q_OBJECT
public:
    explicit GraphImage(QWidget* parent = nullptr);

    QImage& image() { return m_image; }
    const QImage& image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
};
