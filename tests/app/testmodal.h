// Runs f on the next modal window that opens (and that `wanted` accepts, when given), so that
// the caller's exec() can return. Both waits are bounded: a window that does not open in time, or
// that is still open when that time has passed after f answered it, fails the test with what it
// waited for, and the window in the way is closed, so that a test fails instead of hanging.
#pragma once

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

// How long a test waits for a modal window: ten seconds, times QB_TEST_TIME_SCALE where the
// build runs slower (the sanitizer tree sets it).
inline int ModalWaitMs()
{
    return 10000 * std::max(1, qEnvironmentVariableIntValue("QB_TEST_TIME_SCALE"));
}

// Which modal window a test waits for, and how a failure names it.
struct ModalWanted {
    ModalWanted(std::function<bool(QWidget*)> test = {}, QString what = QStringLiteral("a modal window"))
        : accepts(std::move(test)), name(std::move(what)) {}
    template <typename F, typename = std::enable_if_t<std::is_invocable_r_v<bool, F, QWidget*>>>
    ModalWanted(F test) : ModalWanted(std::function<bool(QWidget*)>(test), QStringLiteral("the modal window the test expects")) {}
    std::function<bool(QWidget*)> accepts;
    QString name;
};

// For OnNextModal: a modal window of the type T.
template <typename T>
inline const ModalWanted IsA {[](QWidget* w) { return qobject_cast<T*>(w) != nullptr; },
                              QString::fromLatin1(T::staticMetaObject.className())};

namespace testmodal {

inline QString Describe(QWidget* w)
{
    return w ? QStringLiteral("%1 \"%2\"").arg(QString::fromLatin1(w->metaObject()->className()), w->windowTitle())
             : QStringLiteral("none");
}

// Closes a modal window as its Cancel would.
inline void Close(QWidget* w)
{
    if (auto* dialog = qobject_cast<QDialog*>(w))
        dialog->reject();
    else
        w->close();
}

// Fails the test if w is still open ModalWaitMs() after it was answered, and closes it then.
inline void WatchClosing(QWidget* answered, const QString& name)
{
    auto* timer = new QTimer;
    QPointer<QWidget> w(answered);
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(50);
    QObject::connect(timer, &QTimer::timeout, [timer, w, name, test, clock] {
        const bool sameTest = ::testing::UnitTest::GetInstance()->current_test_info() == test;
        if (!w || !w->isVisible() || !sameTest) {
            timer->stop();
            timer->deleteLater();
        } else if (clock->elapsed() > ModalWaitMs()) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << name.toStdString() << " was still open " << ModalWaitMs() / 1000
                          << " s after the test answered it; closing it";
            Close(w);
        }
    });
    timer->start();
}

}  // namespace testmodal

inline void OnNextModal(std::function<void(QWidget*)> f, ModalWanted wanted = {})
{
    auto* timer = new QTimer;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    auto clock = std::make_shared<QElapsedTimer>();
    auto late = std::make_shared<bool>(false);
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, f, wanted, test, clock, late] {
        // A wait outlives no test: the next test's windows are not its business.
        if (::testing::UnitTest::GetInstance()->current_test_info() != test) {
            timer->stop();
            timer->deleteLater();
            return;
        }
        QWidget* w = QApplication::activeModalWidget();
        if (w && (!wanted.accepts || wanted.accepts(w))) {
            timer->stop();
            timer->deleteLater();
            QPointer<QWidget> answered(w);
            f(w);
            if (answered)
                testmodal::WatchClosing(answered, wanted.name);
        } else if (!*late && clock->elapsed() > ModalWaitMs()) {
            *late = true;
            ADD_FAILURE() << "waited " << ModalWaitMs() / 1000 << " s for " << wanted.name.toStdString()
                          << " to open; the open modal window is " << testmodal::Describe(w).toStdString();
        }
        // Once late, every other modal window is in the way: it is closed so that the test can
        // end, and the wanted one still gets its answer if it opens after all.
        else if (*late && w)
            testmodal::Close(w);
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
