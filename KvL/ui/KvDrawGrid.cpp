#include "KvDrawGrid.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

// The grid's cells: only their count.
class TGridModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : m_rows; }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : m_columns; }
    QVariant data(const QModelIndex&, int) const override { return {}; }

    void SetSize(int columns, int rows)
    {
        beginResetModel();
        m_columns = std::max(columns, 0);
        m_rows = std::max(rows, 0);
        endResetModel();
    }
    int Columns() const { return m_columns; }
    int Rows() const { return m_rows; }

private:
    int m_columns = 0;
    int m_rows = 0;
};

// Hands each cell to the grid's drawing callback; the selection shows as a
// frame round the cell's contents.
class TCellDelegate : public QStyledItemDelegate {
public:
    explicit TCellDelegate(TKvDrawGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (m_grid->OnDrawCell)
            m_grid->OnDrawCell(*painter, option.rect, index.column(), index.row());
        if (option.state & QStyle::State_Selected) {
            painter->save();
            painter->setPen(QPen(option.palette.highlight(), 2));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(option.rect.adjusted(1, 1, -1, -1));
            painter->restore();
        }
    }

private:
    TKvDrawGrid* m_grid;
};

} // namespace

TKvDrawGrid::TKvDrawGrid(QWidget* parent) : QTableView(parent), m_model(new TGridModel(this))
{
    setModel(m_model);
    setItemDelegate(new TCellDelegate(this));
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setShowGrid(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        if (!m_quiet && current.isValid() && OnSelectCell)
            OnSelectCell(current.column(), current.row());
    });
}

void TKvDrawGrid::SetColumnCount(int columns)
{
    Resize(columns, RowCount());
}

void TKvDrawGrid::SetRowCount(int rows)
{
    Resize(ColumnCount(), rows);
}

void TKvDrawGrid::Resize(int columns, int rows)
{
    if (columns == ColumnCount() && rows == RowCount())
        return;
    // The model's reset drops the selection; the owner selects again.
    m_quiet = true;
    static_cast<TGridModel*>(m_model)->SetSize(columns, rows);
    m_quiet = false;
}

int TKvDrawGrid::ColumnCount() const
{
    return static_cast<TGridModel*>(m_model)->Columns();
}

int TKvDrawGrid::RowCount() const
{
    return static_cast<TGridModel*>(m_model)->Rows();
}

void TKvDrawGrid::SetCellSize(int size)
{
    horizontalHeader()->setDefaultSectionSize(size);
    verticalHeader()->setDefaultSectionSize(size);
    horizontalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setMinimumSectionSize(1);
}

void TKvDrawGrid::SelectCellQuietly(int column, int row)
{
    m_quiet = true;
    const QModelIndex index = m_model->index(row, column);
    if (index.isValid())
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    else
        selectionModel()->clear();
    m_quiet = false;
}

void TKvDrawGrid::Repaint()
{
    viewport()->update();
}
