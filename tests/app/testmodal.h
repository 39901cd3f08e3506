// Runs f on the next modal window that opens (and that `wanted` accepts, when given), so that
// the caller's exec() can return.
#pragma once

#include <QApplication>
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
