#include "KvShell.h"

Qt::ToolBarArea ToolBarAreaOf(TKvDockSide side)
{
    switch (side) {
    case TKvDockSide::Top: return Qt::TopToolBarArea;
    case TKvDockSide::Bottom: return Qt::BottomToolBarArea;
    case TKvDockSide::Left: return Qt::LeftToolBarArea;
    case TKvDockSide::Right: return Qt::RightToolBarArea;
    }
    return Qt::TopToolBarArea;
}

Qt::DockWidgetArea DockAreaOf(TKvDockSide side)
{
    switch (side) {
    case TKvDockSide::Top: return Qt::TopDockWidgetArea;
    case TKvDockSide::Bottom: return Qt::BottomDockWidgetArea;
    case TKvDockSide::Left: return Qt::LeftDockWidgetArea;
    case TKvDockSide::Right: return Qt::RightDockWidgetArea;
    }
    return Qt::RightDockWidgetArea;
}

std::optional<TKvDockSide> DockSideOf(Qt::DockWidgetArea area)
{
    switch (area) {
    case Qt::TopDockWidgetArea: return TKvDockSide::Top;
    case Qt::BottomDockWidgetArea: return TKvDockSide::Bottom;
    case Qt::LeftDockWidgetArea: return TKvDockSide::Left;
    case Qt::RightDockWidgetArea: return TKvDockSide::Right;
    default: return std::nullopt;
    }
}
