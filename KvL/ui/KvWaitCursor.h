// The hourglass while the program works and the user must wait: a file read
// or written, a whole picture turned, an object saved into the library.
#pragma once

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>

// Shows the wait cursor for its life (when there is a screen to show it on).
class TWaitCursor {
public:
    TWaitCursor() : m_shown(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr)
    {
        if (m_shown)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~TWaitCursor()
    {
        if (m_shown)
            QGuiApplication::restoreOverrideCursor();
    }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;

private:
    bool m_shown;
};
