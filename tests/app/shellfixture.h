// The running shell under the offscreen platform for the tests of its windows: a program
// started with the resource module, no welcome window and a channel for second starts, with
// settings in a folder of its own.
#pragma once

#include "app/commandids.h"
#include "app/drawapp.h"
#include "app/frames.h"
#include "app/testmodal.h"
#include "document/drawdoc.h"
#include "framework/resourcemodule.h"
#include "framework/ui/commandrouter.h"
#include "framework/ui/propertysheet.h"
#include "view/drawview.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

inline void ClickMessageBox(QMessageBox::StandardButton which, QString* text = nullptr)
{
    OnNextModal([which, text](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        if (text)
            *text = box->text();
        box->button(which)->click();
    }, [](QWidget* w) { return qobject_cast<QMessageBox*>(w) != nullptr; });
}

// Replaces a field's text as a user does: the field's window active, a click into the field, its
// text selected and cleared, the new text typed to the focus.
inline void TypeInto(QWidget* edit, const QString& text)
{
    ASSERT_NE(edit, nullptr);
    FocusIn(edit->window());
    QTest::mouseClick(edit, Qt::LeftButton);
    QWidget* focus = QApplication::focusWidget();
    ASSERT_EQ(focus, edit);
    QTest::keyClick(focus, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(focus, Qt::Key_Backspace);
    QTest::keyClicks(focus, text);
}

// A click on a sheet's tab.
inline void ClickTab(CPropertySheet* sheet, int index)
{
    QTabBar* bar = sheet->findChild<QTabWidget*>()->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    ASSERT_EQ(sheet->GetActiveIndex(), index);
}

class Shell : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_settingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
        QApplication::setOrganizationName("Brellinwick");
        QApplication::setApplicationName("Quillbar");
        CResourceModule::Get().Load(QStringLiteral(QB_RESOURCE_MODULE), Language());
        ASSERT_FALSE(CResourceModule::Get().IsFallback());
        m_app = std::make_unique<CDrawApp>();
        CDrawApp::StartOptions options;
        options.allowWelcome = false;
        options.instanceName = InstanceName();
        ASSERT_TRUE(m_app->InitInstance(CCommandLineInfo::Parse({}), options));
        m_frame = m_app->MainFrame();
        ASSERT_NE(m_frame, nullptr);
        QApplication::processEvents();
    }
    void TearDown() override
    {
        if (m_app) {
            // Nothing asks to save on the way out.
            for (CDrawDoc* doc : m_app->Documents())
                doc->SetModifiedFlag(FALSE);
            m_app->ExitInstance();
            m_app.reset();
        }
        QApplication::processEvents();
    }
    virtual QString Language() const { return "ENU"; }
    static QString InstanceName() { return QStringLiteral("quillbar-test-%1").arg(QCoreApplication::applicationPid()); }

    CDrawDoc* Active() const { return m_app->ActiveDocument(); }
    QAction* Action(UINT id) const { return m_app->Router()->FindAction(id); }
    void Update() const { m_app->Router()->UpdateAll(); }
    QMenu* MenuOf(const QString& caption) const
    {
        for (QAction* a : m_frame->menuBar()->actions())
            if (a->text() == caption)
                return a->menu();
        return nullptr;
    }

    // As a user types: a click into the box's field, then keys to the widget with the focus.
    void TypeIntoZoomBox(const QString& text)
    {
        QLineEdit* edit = m_frame->ZoomBox()->lineEdit();
        QTest::mouseClick(edit, Qt::LeftButton);
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        QTest::keyClick(focus, Qt::Key_Home);
        QTest::keyClick(focus, Qt::Key_End, Qt::ShiftModifier);
        QTest::keyClicks(focus, text);
        QTest::keyClick(focus, Qt::Key_Return);
    }

    QString SavedLabel()
    {
        const QString path = m_files.filePath("saved.tag");
        CDrawDoc* doc = Active();
        m_app->m_askSavePath = [path](const CString&) { return path; };
        EXPECT_TRUE(m_app->SaveDocument(doc, false));
        return path;
    }

    QTemporaryDir m_settingsDir;
    QTemporaryDir m_files;
    std::unique_ptr<CDrawApp> m_app;
    CMainFrame* m_frame = nullptr;
};

