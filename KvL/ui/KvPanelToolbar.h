// A toolbar for panels: one button per action, in action order, laid out
// in rows that wrap at the toolbar's width when wrapping is on. Hidden
// actions take no place. Its height follows from its width
// (heightForWidth); ContentsChanged tells the owner to lay it out again
// after buttons were added, removed, shown or hidden.
#pragma once

#include <QHash>
#include <QSize>
#include <QWidget>

class QAction;

class TKvPanelToolbar : public QWidget {
    Q_OBJECT
public:
    explicit TKvPanelToolbar(QWidget* parent = nullptr);

    bool Wrapping() const { return m_wrapping; }
    void SetWrapping(bool wrapping);
    QSize IconSize() const { return m_iconSize; }
    void SetIconSize(QSize size);

    // The button that shows the action; none for separators and unknown
    // actions.
    QWidget* ButtonOf(QAction* action) const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void ContentsChanged();
    void Resized();

protected:
    void actionEvent(QActionEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* CreateItemWidget(QAction* action);
    int RowHeight() const;
    static int ItemWidth(QAction* action, const QWidget* item);
    // Places the visible items into rows for the width (moving them when
    // `move` is set); returns the height the rows take.
    int Arrange(int width, bool move) const;
    void ContentsChange();

    QHash<QAction*, QWidget*> m_items;
    QSize m_iconSize{24, 24};
    bool m_wrapping = false;
};
