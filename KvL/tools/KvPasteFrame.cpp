#include "KvPasteFrame.h"

#include "KvDrawGrid.h"
#include "KvLocalizer.h"
#include "KvToolPanelParts.h"
#include "KvPasteTool.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

TKvPasteFrame::TKvPasteFrame(QWidget* parent) : TKvFrame(parent)
{
    // The paste tool's field that holds the frame.
    setObjectName(QStringLiteral("Frame"));
    TitleLabel = NewTitleLabel(this);
    ImagePanel = new QFrame(this);
    ImagePanel->setObjectName(QStringLiteral("ImagePanel"));
    ImagePanel->setFrameShape(QFrame::StyledPanel);
    PasteTntImage = new QLabel(ImagePanel);
    PasteTntImage->setObjectName(QStringLiteral("PasteTntImage"));
    PasteTntImage->setFixedSize(PreviewSize, PreviewSize);
    auto* imageLayout = new QHBoxLayout(ImagePanel);
    imageLayout->setContentsMargins(1, 1, 1, 1);
    imageLayout->addWidget(PasteTntImage, 0, Qt::AlignCenter);

    DeleteButton = new QPushButton(this);
    DeleteButton->setObjectName(QStringLiteral("DeleteButton"));
    RotationLabel = new QLabel(this);
    RotationLabel->setObjectName(QStringLiteral("RotationLabel"));
    RotationTrackBar = new QSlider(Qt::Horizontal, this);
    RotationTrackBar->setObjectName(QStringLiteral("RotationTrackBar"));
    RotationTrackBar->setRange(0, 359);
    RotationTrackBar->setPageStep(30);
    RotationTrackBar->setTickInterval(30);
    RotationTrackBar->setTickPosition(QSlider::TicksBelow);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    DrawGrid = new TKvDrawGrid(Panel1);
    DrawGrid->setObjectName(QStringLiteral("DrawGrid"));
    auto* gridLayout = new QVBoxLayout(Panel1);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    gridLayout->addWidget(DrawGrid);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(2, 4, 2, 4);
    column->setSpacing(4);
    column->addWidget(TitleLabel);
    column->addWidget(ImagePanel, 0, Qt::AlignHCenter);
    auto* row = new QHBoxLayout;
    row->addWidget(RotationLabel, 1);
    row->addWidget(DeleteButton);
    column->addLayout(row);
    column->addWidget(RotationTrackBar);
    column->addWidget(Panel1, 1);

    connect(DeleteButton, &QPushButton::clicked, this, &TKvPasteFrame::DeleteButtonClick);
    connect(RotationTrackBar, &QSlider::valueChanged, this, &TKvPasteFrame::RotationTrackBarChange);
    DrawGrid->OnSelectCell = [this](int column, int row) { DrawGridSelectCell(column, row); };
}

void TKvPasteFrame::Localize()
{
    TitleLabel->setText(LocalStr(2863, QStringLiteral("Paste Object")));
    DeleteButton->setText(PlainCaption(LocalStr(5, QStringLiteral("Delete"))));
    RotationLabel->setText(LocalStr(2822, QStringLiteral("Rotation")) + QLatin1Char(':'));
}

void TKvPasteFrame::DeleteButtonClick()
{
    if (Tool)
        Tool->DeleteButtonClick();
}

void TKvPasteFrame::RotationTrackBarChange()
{
    if (Tool)
        Tool->RotationTrackBarChange();
}

void TKvPasteFrame::DrawGridSelectCell(int column, int row)
{
    if (Tool)
        Tool->SelectCell(column, row);
}
