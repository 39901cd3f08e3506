// Runs f on the next modal window that opens (and that `wanted` accepts, when given), so that
// the caller's exec() can return. Nothing waits without a bound: a wanted window that does not
// open in time fails the test with what it waited for, and any modal window that stays open that
// long with nothing answering it (a wait that gave up, a window nobody expected, an answer that
// did not close it) fails the test with its name and is closed, so that exec() returns and the
// test ends instead of hanging.
#pragma once

#include "support/waitbound.h"

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

// How long a test waits for a modal window: ten seconds, scaled to the build.
inline int ModalWaitMs()
{
    return HangBoundMs(10000);
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

inline std::string Describe(QWidget* w)
{
    return w ? QStringLiteral("%1 \"%2\"").arg(QString::fromLatin1(w->metaObject()->className()), w->windowTitle()).toStdString()
             : std::string("none");
}

// The waits count the turns of their timers, not the clock: a stretch in which the program is
// busy (waiting out a reader program, say) and no timer runs counts as one turn, however long a
// busy machine makes it. A wait ends as hung only after ModalWaitMs() of turns in which the
// program was free to answer and nothing came.

// Closes any modal window that has been the active one for ModalWaitMs(), once it is watched.
inline void WatchModalWindows()
{
    static QTimer* timer = nullptr;
    if (timer)
        return;
    constexpr int kTurnMs = 100;
    timer = new QTimer(qApp);
    auto shown = std::make_shared<QPointer<QWidget>>();
    auto turns = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [shown, turns] {
        QWidget* w = QApplication::activeModalWidget();
        if (w != shown->data()) {
            *shown = w;
            *turns = 0;
        } else if (w && ++*turns * kTurnMs > ModalWaitMs()) {
            ADD_FAILURE() << Describe(w) << " stayed open " << ModalWaitMs() / 1000
                          << " s with nothing answering it; closing it";
            if (auto* dialog = qobject_cast<QDialog*>(w))
                dialog->reject();
            else
                w->close();
            *turns = 0;
        }
    });
    timer->start(kTurnMs);
}

}  // namespace testmodal

inline void OnNextModal(std::function<void(QWidget*)> f, ModalWanted wanted = {})
{
    testmodal::WatchModalWindows();
    constexpr int kTurnMs = 10;
    auto* timer = new QTimer;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    auto turns = std::make_shared<int>(0);
    timer->setInterval(kTurnMs);
    QObject::connect(timer, &QTimer::timeout, [timer, f, wanted, test, turns] {
        QWidget* w = QApplication::activeModalWidget();
        const bool found = w && (!wanted.accepts || wanted.accepts(w));
        // A wait outlives neither its bound nor its test: the next test's windows are not its
        // business.
        const bool late = !found && ++*turns * kTurnMs > ModalWaitMs();
        if (found || late || ::testing::UnitTest::GetInstance()->current_test_info() != test) {
            timer->stop();
            timer->deleteLater();
        }
        if (found)
            f(w);
        else if (late)
            ADD_FAILURE() << "waited " << ModalWaitMs() / 1000 << " s for " << wanted.name.toStdString()
                          << " to open; the open modal window is " << testmodal::Describe(w);
    });
    timer->start();
}

// Where the keys go once a window is active: its focus widget. The offscreen platform may hand
// the activation back to the main window, so the window is activated until it keeps it.
inline QWidget* FocusIn(QWidget* window)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < HangBoundMs(5000)) {
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
