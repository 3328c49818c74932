#include "KvPanelToolbar.h"

#include <QAction>
#include <QActionEvent>
#include <QFrame>
#include <QResizeEvent>
#include <QToolButton>

#include <algorithm>

namespace {

constexpr int SeparatorWidth = 8;

} // namespace

TKvPanelToolbar::TKvPanelToolbar(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void TKvPanelToolbar::SetWrapping(bool wrapping)
{
    if (wrapping == m_wrapping)
        return;
    m_wrapping = wrapping;
    ContentsChange();
}

void TKvPanelToolbar::SetIconSize(QSize size)
{
    m_iconSize = size;
    for (QWidget* item : std::as_const(m_items))
        if (auto* button = qobject_cast<QToolButton*>(item))
            button->setIconSize(size);
    ContentsChange();
}

QWidget* TKvPanelToolbar::ButtonOf(QAction* action) const
{
    return qobject_cast<QToolButton*>(m_items.value(action));
}

QWidget* TKvPanelToolbar::CreateItemWidget(QAction* action)
{
    if (action->isSeparator()) {
        auto* line = new QFrame(this);
        line->setFrameShape(QFrame::VLine);
        line->setFrameShadow(QFrame::Sunken);
        line->setFixedWidth(SeparatorWidth);
        return line;
    }
    auto* button = new QToolButton(this);
    button->setDefaultAction(action);
    button->setAutoRaise(true);
    button->setIconSize(m_iconSize);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

void TKvPanelToolbar::actionEvent(QActionEvent* event)
{
    QAction* action = event->action();
    switch (event->type()) {
    case QEvent::ActionAdded:
        m_items.insert(action, CreateItemWidget(action));
        break;
    case QEvent::ActionRemoved:
        delete m_items.take(action);
        break;
    case QEvent::ActionChanged:
        // A plain action may have become a separator, or the reverse.
        if (QWidget* item = m_items.value(action); item && action->isSeparator() != !qobject_cast<QToolButton*>(item)) {
            delete item;
            m_items.insert(action, CreateItemWidget(action));
        }
        break;
    default:
        return;
    }
    ContentsChange();
}

int TKvPanelToolbar::RowHeight() const
{
    int height = 0;
    for (QAction* action : actions())
        if (QWidget* item = m_items.value(action); item && action->isVisible() && !action->isSeparator())
            height = std::max(height, item->sizeHint().height());
    return height;
}

int TKvPanelToolbar::ItemWidth(QAction* action, const QWidget* item)
{
    return action->isSeparator() ? SeparatorWidth : item->sizeHint().width();
}

int TKvPanelToolbar::Arrange(int width, bool move) const
{
    const int rowHeight = RowHeight();
    int x = 0;
    int y = 0;
    bool any = false;
    for (QAction* action : actions()) {
        QWidget* item = m_items.value(action);
        if (!item || !action->isVisible())
            continue;
        const int itemWidth = ItemWidth(action, item);
        if (m_wrapping && x > 0 && x + itemWidth > width) {
            x = 0;
            y += rowHeight;
        }
        if (move)
            item->setGeometry(x, y, itemWidth, rowHeight);
        x += itemWidth;
        any = true;
    }
    return any ? y + rowHeight : 0;
}

int TKvPanelToolbar::heightForWidth(int width) const
{
    return Arrange(width, false);
}

QSize TKvPanelToolbar::sizeHint() const
{
    int width = 0;
    for (QAction* action : actions())
        if (QWidget* item = m_items.value(action); item && action->isVisible())
            width += ItemWidth(action, item);
    return {width, RowHeight()};
}

QSize TKvPanelToolbar::minimumSizeHint() const
{
    if (!m_wrapping)
        return sizeHint();
    int width = 0;
    for (QAction* action : actions())
        if (QWidget* item = m_items.value(action); item && action->isVisible())
            width = std::max(width, ItemWidth(action, item));
    return {width, heightForWidth(width)};
}

void TKvPanelToolbar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Arrange(width(), true);
    emit Resized();
}

void TKvPanelToolbar::ContentsChange()
{
    for (auto item = m_items.cbegin(); item != m_items.cend(); ++item)
        item.value()->setVisible(item.key()->isVisible());
    updateGeometry();
    Arrange(width(), true);
    emit ContentsChanged();
}
