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
    void setCell(int col, int row, const QString& text);
};
