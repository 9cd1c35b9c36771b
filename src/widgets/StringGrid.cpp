#include "StringGrid.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <cstdlib>

namespace {
// How close to a grid line the pointer must be to start a resize.
constexpr int kGrip = 3;

// Paints the fixed row and column in the button colour and never as
// selected, whether or not a cell item exists there yet.
class FixedCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (!StringGrid::isFixed(index.column(), index.row())) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem opt = option;
        opt.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
        painter->fillRect(opt.rect, opt.palette.brush(QPalette::Button));
        opt.backgroundBrush = Qt::NoBrush;
        QStyledItemDelegate::paint(painter, opt, index);
    }
};
} // namespace

StringGrid::StringGrid(QWidget* parent) : QTableWidget(parent) {
    // Row 0 and column 0 are ordinary cells styled as headers, so that the
    // grid is addressed exactly as the log layout counts rows and columns.
    horizontalHeader()->hide();
    verticalHeader()->hide();
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setWordWrap(false);
    viewport()->setMouseTracking(true);
    setItemDelegate(new FixedCellDelegate(this));
}

bool StringGrid::isFixed(int col, int row) {
    return col == 0 || row == 0;
}

QString StringGrid::cell(int col, int row) const {
    const QTableWidgetItem* it = item(row, col);
    return it ? it->text() : QString();
}

void StringGrid::setCell(int col, int row, const QString& text) {
    if (row < 0 || col < 0 || row >= rowCount() || col >= columnCount())
        return;
    QTableWidgetItem* it = item(row, col);
    if (!it) {
        it = new QTableWidgetItem;
        it->setFlags(isFixed(col, row) ? Qt::ItemIsEnabled
                                       : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        setItem(row, col, it);
    }
    it->setText(text);
}

int StringGrid::columnEdgeAt(int x) const {
    for (int c = 0; c < columnCount(); ++c) {
        const int right = columnViewportPosition(c) + columnWidth(c);
        if (std::abs(x - right) <= kGrip)
            return c;
    }
    return -1;
}

int StringGrid::rowEdgeAt(int y) const {
    for (int r = 0; r < rowCount(); ++r) {
        const int bottom = rowViewportPosition(r) + rowHeight(r);
        if (std::abs(y - bottom) <= kGrip)
            return r;
    }
    return -1;
}

// The headers of the view are hidden, so resizing is done here: dragging a
// grid line inside the fixed row resizes a column, inside the fixed column a row.
void StringGrid::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        const bool inFixedRow = rowCount() > 0 && p.y() < rowViewportPosition(0) + rowHeight(0);
        const bool inFixedCol =
            columnCount() > 0 && p.x() < columnViewportPosition(0) + columnWidth(0);
        if (inFixedRow && (m_resizeCol = columnEdgeAt(p.x())) >= 0) {
            m_resizeStart = p.x() - columnWidth(m_resizeCol);
            return;
        }
        if (inFixedCol && (m_resizeRow = rowEdgeAt(p.y())) >= 0) {
            m_resizeStart = p.y() - rowHeight(m_resizeRow);
            return;
        }
    }
    QTableWidget::mousePressEvent(event);
}

void StringGrid::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (m_resizeCol >= 0) {
        setColumnWidth(m_resizeCol, std::max(kGrip * 2, p.x() - m_resizeStart));
        return;
    }
    if (m_resizeRow >= 0) {
        setRowHeight(m_resizeRow, std::max(kGrip * 2, p.y() - m_resizeStart));
        return;
    }
    const bool inFixedRow = rowCount() > 0 && p.y() < rowViewportPosition(0) + rowHeight(0);
    const bool inFixedCol = columnCount() > 0 && p.x() < columnViewportPosition(0) + columnWidth(0);
    if (inFixedRow && columnEdgeAt(p.x()) >= 0)
        viewport()->setCursor(Qt::SplitHCursor);
    else if (inFixedCol && rowEdgeAt(p.y()) >= 0)
        viewport()->setCursor(Qt::SplitVCursor);
    else
        viewport()->unsetCursor();
    QTableWidget::mouseMoveEvent(event);
}

void StringGrid::mouseReleaseEvent(QMouseEvent* event) {
    if (m_resizeCol >= 0 || m_resizeRow >= 0) {
        m_resizeCol = m_resizeRow = -1;
        return;
    }
    QTableWidget::mouseReleaseEvent(event);
}
