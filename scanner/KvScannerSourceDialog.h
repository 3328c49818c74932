#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QListWidget;
class QPushButton;

// Lets the user choose, among the attached scanners, the one to acquire from.
class TKvScannerSourceDialog : public QDialog
{
    Q_OBJECT

public:
    TKvScannerSourceDialog(const QStringList& sources, const QString& current, QWidget* parent = nullptr);

    // The source selected in the list; empty when none is.
    QString ChosenSource() const;

private:
    QListWidget* m_sourceList;
    QPushButton* m_okButton;
};
