// Runs f on the next modal window that opens (and that `wanted` accepts, when given), so that
// the caller's exec() can return.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

inline void OnNextModal(std::function<void(QWidget*)> f, std::function<bool(QWidget*)> wanted = {})
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, f, wanted] {
        if (QWidget* w = QApplication::activeModalWidget(); w && (!wanted || wanted(w))) {
            timer->stop();
            timer->deleteLater();
            f(w);
        }
    });
    timer->start();
}

// Where the keys go once a window is active: its focus widget. The offscreen platform may hand
// the activation back to the main window, so the window is activated until it keeps it.
inline QWidget* FocusIn(QWidget* window)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 5000) {
        QWidget* focus = QApplication::focusWidget();
        if (focus && focus->window() == window)
            return focus;
        window->activateWindow();
        QTest::qWait(10);
    }
    return nullptr;
}
