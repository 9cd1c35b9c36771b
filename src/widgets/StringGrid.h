#pragma once

#include <QTableWidget>

// A text grid whose first row and first column are fixed header cells,
// addressed (column, row) with row 0 and column 0 being the headers.
// The user can select and resize but not edit.
class StringGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit StringGrid(QWidget* parent = nullptr);

    QString cell(int col, int row) const;
    // Cells outside the grid are ignored.
    void setCell(int col, int row, const QString& text);
    static bool isFixed(int col, int row);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int columnEdgeAt(int x) const;
    int rowEdgeAt(int y) const;

    int m_resizeCol = -1;
    int m_resizeRow = -1;
    int m_resizeStart = 0;
};
