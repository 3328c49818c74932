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
      m_sourceList(new QListWidget(this)),
      m_okButton(new QPushButton(LocalStr(KvScannerText::Ok, QStringLiteral("OK")), this))
{
    using namespace KvScannerText;
    setObjectName(QStringLiteral("ScannerSourceDialog"));
    setWindowTitle(LocalStr(SelectSourceCaption, QStringLiteral("Select Source")));

    auto* prompt = new QLabel(LocalStr(SelectSourcePrompt, QStringLiteral("Scanner to acquire pictures from:")), this);
    prompt->setBuddy(m_sourceList);
    m_sourceList->setObjectName(QStringLiteral("SourceList"));
    m_sourceList->addItems(sources);
    // Wide enough for the longest name, so that scanners of one model,
    // told apart at the end of their names, can be told apart here too.
    m_sourceList->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    m_sourceList->setCurrentRow(std::max(0, int(sources.indexOf(current))));

    auto* buttons = new QDialogButtonBox(this);
    m_okButton->setObjectName(QStringLiteral("OkButton"));
    m_okButton->setDefault(true);
    auto* cancelButton = new QPushButton(LocalStr(Cancel, QStringLiteral("Cancel")), this);
    cancelButton->setObjectName(QStringLiteral("CancelButton"));
    buttons->addButton(m_okButton, QDialogButtonBox::AcceptRole);
    buttons->addButton(cancelButton, QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_sourceList, &QListWidget::itemActivated, this, &QDialog::accept);
    connect(m_sourceList, &QListWidget::currentRowChanged, this,
            [this](int row) { m_okButton->setEnabled(row >= 0); });
    m_okButton->setEnabled(m_sourceList->currentRow() >= 0);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(m_sourceList);
    layout->addWidget(buttons);
}

QString TKvScannerSourceDialog::ChosenSource() const
{
    const QListWidgetItem* item = m_sourceList->currentItem();
    return item ? item->text() : QString();
}
