// The Add Language dialog of the demo editor: asks for the language id (a
// decimal number such as 1031, though any text is taken) under which a new
// section of texts is added to the script being edited.
#pragma once

#include "KvForms.h"

class QLabel;
class QLineEdit;
class QPushButton;

class TAddLangForm : public TKvForm {
    Q_OBJECT
public:
    explicit TAddLangForm(QWidget* parent = nullptr);

    QLabel* LangIdLabel;
    QLineEdit* LangIdEdit;
    QPushButton* AddButton;
    QPushButton* CancelButton;

    // The trimmed text of the edit.
    QString LangId() const;
};
