#include "KvScannerSourceDialog.h"

#include "KvScannerTexts.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

TKvScannerSourceDialog::TKvScannerSourceDialog(const QStringList& sources, const QString& current,
                                               QWidget* parent)
    : QDialog(parent),
      sourceList_(new QListWidget(this)),
      okButton_(new QPushButton(LocalStr(KvScannerText::Ok, QStringLiteral("OK")), this))
{
    using namespace KvScannerText;
    setObjectName(QStringLiteral("ScannerSourceDialog"));
    setWindowTitle(LocalStr(SelectSourceCaption, QStringLiteral("Select Source")));

    auto* prompt = new QLabel(LocalStr(SelectSourcePrompt, QStringLiteral("Scanner to acquire pictures from:")), this);
    prompt->setBuddy(sourceList_);
    sourceList_->setObjectName(QStringLiteral("SourceList"));
    sourceList_->addItems(sources);
    // Wide enough for the longest name, so that scanners of one model,
    // told apart at the end of their names, can be told apart here too.
    sourceList_->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    sourceList_->setCurrentRow(std::max(0, int(sources.indexOf(current))));

    auto* buttons = new QDialogButtonBox(this);
    okButton_->setObjectName(QStringLiteral("OkButton"));
    okButton_->setDefault(true);
    auto* cancelButton = new QPushButton(LocalStr(Cancel, QStringLiteral("Cancel")), this);
    cancelButton->setObjectName(QStringLiteral("CancelButton"));
    buttons->addButton(okButton_, QDialogButtonBox::AcceptRole);
    buttons->addButton(cancelButton, QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(sourceList_, &QListWidget::itemActivated, this, &QDialog::accept);
    connect(sourceList_, &QListWidget::currentRowChanged, this,
            [this](int row) { okButton_->setEnabled(row >= 0); });
    okButton_->setEnabled(sourceList_->currentRow() >= 0);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(sourceList_);
    layout->addWidget(buttons);
}

QString TKvScannerSourceDialog::ChosenSource() const
{
    const QListWidgetItem* item = sourceList_->currentItem();
    return item ? item->text() : QString();
}
