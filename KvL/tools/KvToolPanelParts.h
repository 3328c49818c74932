// The parts a graphics tool adds to the program's window: its button on the
// tool panel's toolbar (which activates the tool) with its option frame in
// the panel, the frame's title and Ok row, and buttons of its own on the
// editor's standard toolbar.
// Without a tool panel (a tool used on its own, in a test) the button and
// the frame stand alone, the frame owned by the tool. The tools call these
// in their constructors and when the composition root asks for their
// toolbar buttons.
#pragma once

#include "KvForms.h"
#include "KvGraphicsTool.h"
#include "KvLocalizer.h"
#include "KvShell.h"
#include "KvToolPanel.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>

#include <functional>
#include <memory>

// The tool's ToolButton and Frame: in the panel when there is one, else on
// their own (ownFrame then holds the frame). Returns the frame.
template <class TFrame>
TFrame* CreateToolPanelParts(TKvGraphicsTool* tool, TKvToolPanelModule* panel, const QString& caption,
                             std::unique_ptr<TFrame>& ownFrame)
{
    TFrame* frame = nullptr;
    if (panel) {
        panel->AddToolButton(caption, TKvMethod(tool, &TKvGraphicsTool::Activate), tool->ToolButton);
        panel->AddToolFrame(frame);
    } else {
        tool->ToolButton = new QAction(tool);
        QObject::connect(tool->ToolButton, &QAction::triggered, tool, [tool] { tool->Activate(tool->ToolButton); });
        ownFrame.reset(NewInitialized<TFrame>());
        frame = ownFrame.get();
    }
    tool->Frame = frame;
    return frame;
}

// The bold title at the top of a tool's frame.
inline QLabel* NewTitleLabel(QWidget* frame)
{
    auto* title = new QLabel(frame);
    title->setObjectName(QStringLiteral("TitleLabel"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    return title;
}

// The row of a frame's confirm button (named okName) and CancelButton.
inline QWidget* NewOkPanel(QWidget* frame, const char* okName, QPushButton*& ok, QPushButton*& cancel)
{
    auto* panel = new QWidget(frame);
    panel->setObjectName(QStringLiteral("OkPanel"));
    ok = new QPushButton(panel);
    ok->setObjectName(QLatin1String(okName));
    cancel = new QPushButton(panel);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(ok);
    row->addWidget(cancel);
    return panel;
}

// The frame's ShowOptions link: a flat button with its caption beside its
// image.
inline QToolButton* NewOptionsLink(QWidget* frame)
{
    auto* link = new QToolButton(frame);
    link->setObjectName(QStringLiteral("ShowOptions"));
    link->setAutoRaise(true);
    link->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    return link;
}

// The options link's caption and image for options shown ("Hide Options",
// an arrow pointing up) or hidden ("Show More Options", pointing down).
inline void ShowOptionsLinkState(QToolButton* link, bool shown)
{
    link->setText(shown ? LocalStr(2020, QStringLiteral("Hide Options"))
                        : LocalStr(2019, QStringLiteral("Show More Options")));
    link->setArrowType(shown ? Qt::UpArrow : Qt::DownArrow);
}

// A button of the tool on the toolbar with the shared image list's picture
// (none for -1) and the object name; a click runs click.
inline QAction* AddEditorButton(IKvShell* shell, QToolBar* toolbar, TKvGraphicsTool* tool, int imageIndex,
                                const char* name, std::function<void()> click)
{
    QAction* button = nullptr;
    shell->AddToolButton(toolbar, nullptr, nullptr, QString(), imageIndex, TKvMethod(), button);
    button->setObjectName(QLatin1String(name));
    QObject::connect(button, &QAction::triggered, tool, std::move(click));
    return button;
}
