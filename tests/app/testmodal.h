// Runs f on the next modal window that opens (and that `wanted` accepts, when given), so that
// the caller's exec() can return.
#pragma once

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

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

// For OnNextModal: a modal window of the type T.
template <typename T>
bool IsA(QWidget* w)
{
    return qobject_cast<T*>(w) != nullptr;
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

// Types a name into a file dialog's name box, where its keys arrive, and presses Enter there. The
// box's completer pops up while typing and would take the keys: each key goes to the box itself,
// as it does when the user types past the list.
inline void TypeFileName(QWidget* dialog, const QString& name)
{
    auto* edit = qobject_cast<QLineEdit*>(FocusIn(dialog));
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    for (QChar ch : name) {
        QTest::keyClicks(edit, QString(ch));
        if (QCompleter* c = edit->completer(); c && c->popup())
            c->popup()->hide();
    }
    QTest::keyClick(edit, Qt::Key_Return);
}
