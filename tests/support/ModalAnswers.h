// Answers the modal windows (message boxes, file dialogs, forms) that the
// code under test opens, in the order given, so that tests can drive
// commands that ask the user. Header-only: it needs the user-interface
// layer, which the support library does not link.
#pragma once

#include "KvDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <deque>
#include <functional>
#include <vector>

struct SeenMessage {
    QString Text;
    QMessageBox::Icon Icon;
    QMessageBox::StandardButtons Buttons;
};

// Answers the modal windows the code under test opens, in order. A modal
// window nobody expected is rejected and counted, so a test never hangs.
class TModalAnswers : public QObject {
public:
    using TStep = std::function<void(QWidget*)>;

    TModalAnswers()
    {
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, [this] { Poll(); });
        m_timer.start();
    }

    void Answer(QMessageBox::StandardButton button)
    {
        m_steps.push_back([this, button](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box) {
                ++Unexpected;
                return;
            }
            Messages.push_back({box->text(), box->icon(), box->standardButtons()});
            box->button(button)->click();
        });
    }
    void SaveAs(const QString& fileName, int filterIndex)
    {
        m_steps.push_back([this, fileName, filterIndex](QWidget* modal) {
            auto* dialog = qobject_cast<TKvSaveDialog*>(modal);
            if (!dialog) {
                ++Unexpected;
                return;
            }
            PresetName = dialog->FileName();
            PresetFilter = dialog->FilterIndex();
            dialog->SetFileName(fileName);
            dialog->SetFilterIndex(filterIndex);
            QMetaObject::invokeMethod(dialog, "accept");
        });
    }
    void Open(const QString& fileName)
    {
        m_steps.push_back([this, fileName](QWidget* modal) {
            auto* dialog = qobject_cast<TKvOpenDialog*>(modal);
            if (!dialog) {
                ++Unexpected;
                return;
            }
            dialog->SetFileName(fileName);
            QMetaObject::invokeMethod(dialog, "accept");
        });
    }
    // Any other step: gets the modal window and must close it.
    void Then(TStep step) { m_steps.push_back(std::move(step)); }
    bool Done() const { return m_steps.empty(); }

    std::vector<SeenMessage> Messages;
    int Unexpected = 0;
    QString PresetName;
    int PresetFilter = -1;

private:
    void Poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        if (m_steps.empty()) {
            ++Unexpected;
            if (auto* box = qobject_cast<QMessageBox*>(modal))
                Messages.push_back({box->text(), box->icon(), box->standardButtons()});
            QMetaObject::invokeMethod(modal, "reject");
            return;
        }
        const TStep step = std::move(m_steps.front());
        m_steps.pop_front();
        step(modal);
        if (modal->isVisible() && qobject_cast<QDialog*>(modal))
            QMetaObject::invokeMethod(modal, "reject");
    }

    QTimer m_timer;
    std::deque<TStep> m_steps;
};
