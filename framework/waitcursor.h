#pragma once
// The wait cursor for the life of a scope, when the program has a screen to show it on.

#include <QCursor>
#include <QGuiApplication>

class CWaitCursor
{
public:
    CWaitCursor()
    {
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
            m_shown = true;
        }
    }
    ~CWaitCursor()
    {
        if (m_shown)
            QGuiApplication::restoreOverrideCursor();
    }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

private:
    bool m_shown = false;
};
