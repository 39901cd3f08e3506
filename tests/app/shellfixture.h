// The running shell under the offscreen platform for the tests of its windows: a program
// started with the resource module, no welcome window and a channel for second starts, with
// settings in a folder of its own.
#pragma once

#include "app/commandids.h"
#include "app/drawapp.h"
#include "app/frames.h"
#include "app/testmodal.h"
#include "document/drawdoc.h"
#include "framework/painterdc.h"
#include "framework/resourcemodule.h"
#include "framework/ui/commandrouter.h"
#include "framework/ui/dialoglayout.h"
#include "framework/ui/propertysheet.h"
#include "objects/drawobj.h"
#include "view/drawview.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrinter>
#include <QSettings>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
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
    }, IsA<QMessageBox>);
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

// A click on a radio button's or check box's mark.
inline void ClickMark(QAbstractButton* box)
{
    ASSERT_NE(box, nullptr);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

// Presses the accepting button of a dialog's button box (the focus stays where it is).
inline void ClickAccept(QWidget* dialog)
{
    QDialogButtonBox* box = dialog->findChildren<QDialogButtonBox*>().value(0);
    ASSERT_NE(box, nullptr);
    for (QAbstractButton* b : box->buttons())
        if (box->buttonRole(b) == QDialogButtonBox::AcceptRole)
            return b->click();
    FAIL() << "no accepting button";
}

// A control of a sheet's active page.
template <typename T = QWidget>
T* Control(CPropertySheet* sheet, int id)
{
    return GetDlgItem<T>(sheet->GetActivePage(), id);
}

// While it lives, answers every message box (Yes where it asks, else OK) and keeps its text, and
// its caption before it.
struct MessageBoxWatch {
    MessageBoxWatch()
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->text();
                titled << box->windowTitle() + ": " + box->text();
                box->button(box->standardButtons() & QMessageBox::Yes ? QMessageBox::Yes : QMessageBox::Ok)->click();
            }
        });
        timer.start(5);
    }
    QTimer timer;
    QStringList texts, titled;
};

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
    // A frame too narrow for the main toolbar keeps the box behind the toolbar's extension button.
    void TypeIntoZoomBox(const QString& text)
    {
        QLineEdit* edit = m_frame->ZoomBox()->lineEdit();
        if (!edit->isVisible()) {
            auto* more = m_frame->MainToolBar()->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"));
            ASSERT_NE(more, nullptr);
            QTest::mouseClick(more, Qt::LeftButton);
            ASSERT_TRUE(QTest::qWaitFor([edit] { return edit->isVisible(); }, 2000));
        }
        QTest::mouseClick(edit, Qt::LeftButton);
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        QTest::keyClick(focus, Qt::Key_Home);
        QTest::keyClick(focus, Qt::Key_End, Qt::ShiftModifier);
        QTest::keyClicks(focus, text);
        QTest::keyClick(focus, Qt::Key_Return);
    }

    void ShowFrame()
    {
        m_frame->resize(1024, 700);
        m_frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame));
    }

    // An object added to the active label and selected alone; the label counts as unchanged.
    template <typename T>
    T* AddSelected(T* obj)
    {
        CDrawView* view = m_app->GetActiveDrawView();
        view->AddObject(obj);
        view->Select(obj, FALSE);
        Active()->SetModifiedFlag(FALSE);
        return obj;
    }

    // Runs a command that opens a sheet (Edit > Properties unless told) with f on the sheet.
    void RunSheet(const std::function<void(CPropertySheet*)>& f, UINT command = 32785)
    {
        bool opened = false;
        OnNextModal([&](QWidget* w) {
            opened = true;
            f(qobject_cast<CPropertySheet*>(w));
        }, IsA<CPropertySheet>);
        Update();
        ASSERT_TRUE(Action(command)->isEnabled()) << command;
        Action(command)->trigger();
        EXPECT_TRUE(opened);
    }

    // The active label's objects drawn for paper at 300 dpi, as label 0.
    QImage RenderObjects() const
    {
        QImage page(MulDiv(12000, 300, 1536), MulDiv(6000, 300, 1536), QImage::Format_RGB32);
        page.fill(Qt::white);
        CPainterDC dc(&page, true);
        dc.SetMapMode(MM_ANISOTROPIC);
        dc.SetWindowExt(1536, 1536);
        dc.SetViewportExt(300, 300);
        for (CDrawObj* obj : Active()->GetObjects())
            obj->Draw(&dc, 0);
        return page;
    }

    // Points the application's printer, as the print dialog leaves it, at a PDF file.
    QString PrinterToPdf(const QString& name)
    {
        const QString pdf = m_files.filePath(name);
        m_app->Printer()->setOutputFormat(QPrinter::PdfFormat);
        m_app->Printer()->setOutputFileName(pdf);
        return pdf;
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

