// A grid of equal cells whose contents its owner draws: the paste tool's
// grid of object thumbnails.  The grid knows only its column and row counts
// and which cell is selected; drawing a cell and reacting to the user's
// choice of a cell are left to the owner's callbacks.
#pragma once

#include <QTableView>

#include <functional>

class QAbstractTableModel;

class TKvDrawGrid : public QTableView {
    Q_OBJECT
public:
    explicit TKvDrawGrid(QWidget* parent = nullptr);

    void SetColumnCount(int columns);
    void SetRowCount(int rows);
    int ColumnCount() const;
    int RowCount() const;
    // Every cell this many pixels wide and high, with grid lines between.
    void SetCellSize(int size);
    // Selects the cell without asking OnSelectCell.
    void SelectCellQuietly(int column, int row);
    // Repaints every cell.
    void Repaint();

    // Draws a cell into its rectangle.
    std::function<void(QPainter& painter, const QRect& rect, int column, int row)> OnDrawCell;
    // The user selected a cell, by mouse or keyboard.
    std::function<void(int column, int row)> OnSelectCell;

private:
    void Resize(int columns, int rows);

    QAbstractTableModel* m_model;
    bool m_quiet = false;
};
