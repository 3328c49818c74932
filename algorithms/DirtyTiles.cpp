#include "DirtyTiles.h"

#include <algorithm>

void TDirtyTiles::SetSize(int width, int height)
{
    m_width = std::max(width, 0);
    m_height = std::max(height, 0);
    m_columns = (m_width + TileSize - 1) / TileSize;
    const int rows = (m_height + TileSize - 1) / TileSize;
    m_tiles.assign(std::size_t(m_columns) * std::size_t(rows), 0);
    m_bounds = {};
}

void TDirtyTiles::Add(const TRect& rect)
{
    const TRect r = IntersectRect(rect, {0, 0, m_width, m_height});
    if (r.IsEmpty())
        return;
    m_bounds = UnionRect(m_bounds, r);
    for (int row = r.Top / TileSize; row <= (r.Bottom - 1) / TileSize; ++row) {
        std::uint8_t* tile = m_tiles.data() + std::size_t(row) * std::size_t(m_columns);
        std::fill(tile + r.Left / TileSize, tile + (r.Right - 1) / TileSize + 1, std::uint8_t(1));
    }
}

void TDirtyTiles::Add(const TDirtyTiles& other)
{
    if (other.m_bounds.IsEmpty())
        return;
    m_bounds = UnionRect(m_bounds, other.m_bounds);
    for (int row = other.m_bounds.Top / TileSize; row <= (other.m_bounds.Bottom - 1) / TileSize; ++row) {
        const std::size_t first = std::size_t(row) * std::size_t(m_columns);
        for (int column = other.m_bounds.Left / TileSize; column <= (other.m_bounds.Right - 1) / TileSize; ++column)
            m_tiles[first + std::size_t(column)] |= other.m_tiles[first + std::size_t(column)];
    }
}

void TDirtyTiles::Clear()
{
    if (m_bounds.IsEmpty())
        return;
    for (int row = m_bounds.Top / TileSize; row <= (m_bounds.Bottom - 1) / TileSize; ++row) {
        std::uint8_t* tile = m_tiles.data() + std::size_t(row) * std::size_t(m_columns);
        std::fill(tile + m_bounds.Left / TileSize, tile + (m_bounds.Right - 1) / TileSize + 1, std::uint8_t(0));
    }
    m_bounds = {};
}

std::vector<TRect> TDirtyTiles::Rects() const
{
    // In tile units first: the runs of changed tiles of each row, a run that
    // continues one of the row above (same columns) lengthening it.
    std::vector<TRect> runs;
    if (m_bounds.IsEmpty())
        return runs;
    const int firstColumn = m_bounds.Left / TileSize;
    const int lastColumn = (m_bounds.Right - 1) / TileSize;
    std::size_t rowAbove = 0; // the first run that ends at the row above
    for (int row = m_bounds.Top / TileSize; row <= (m_bounds.Bottom - 1) / TileSize; ++row) {
        const std::size_t thisRow = runs.size();
        const std::uint8_t* tile = m_tiles.data() + std::size_t(row) * std::size_t(m_columns);
        for (int column = firstColumn; column <= lastColumn; ++column) {
            if (!tile[column])
                continue;
            const int start = column;
            while (column < lastColumn && tile[column + 1])
                ++column;
            const auto above = std::find_if(runs.begin() + std::ptrdiff_t(rowAbove), runs.begin() + std::ptrdiff_t(thisRow),
                                            [&](const TRect& r) { return r.Left == start && r.Right == column + 1; });
            if (above != runs.begin() + std::ptrdiff_t(thisRow))
                above->Bottom = row + 1;
            else
                runs.push_back({start, row, column + 1, row + 1});
        }
        // Runs of the row above that went on stay among the candidates for the next row.
        rowAbove = std::size_t(std::partition(runs.begin() + std::ptrdiff_t(rowAbove), runs.end(),
                                              [row](const TRect& r) { return r.Bottom <= row; })
                               - runs.begin());
    }
    for (TRect& r : runs)
        r = IntersectRect({r.Left * TileSize, r.Top * TileSize, r.Right * TileSize, r.Bottom * TileSize}, m_bounds);
    return runs;
}
