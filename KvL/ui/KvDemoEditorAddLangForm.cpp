#include "KvDemoEditorAddLangForm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

// The demo editor's texts are its own, in English, for script authors.
TAddLangForm::TAddLangForm(QWidget* parent)
    : TKvForm(parent), LangIdLabel(new QLabel(QStringLiteral("LangID:"), this)), LangIdEdit(new QLineEdit(this)),
      AddButton(new QPushButton(QStringLiteral("Add"), this)),
      CancelButton(new QPushButton(QStringLiteral("Cancel"), this))
{
    setObjectName(QStringLiteral("AddLangForm"));
    setWindowTitle(QStringLiteral("Add Language"));
    LangIdEdit->setObjectName(QStringLiteral("LangIdEdit"));
    AddButton->setObjectName(QStringLiteral("AddButton"));
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    AddButton->setDefault(true);
    LangIdLabel->setBuddy(LangIdEdit);

    auto* edit = new QHBoxLayout;
    edit->addWidget(LangIdLabel);
    edit->addWidget(LangIdEdit, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(AddButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(edit);
    layout->addLayout(buttons);

    connect(AddButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

QString TAddLangForm::LangId() const
{
    return LangIdEdit->text().trimmed();
}
