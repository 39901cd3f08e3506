// The widget services of the framework: routing of commands and their update handlers, property
// sheets and wizards. The button captions are checked with the real string table by the shell.

#include "app/testmodal.h"
#include "framework/ui/commandrouter.h"
#include "framework/ui/dialogids.h"
#include "framework/ui/dialoglayout.h"
#include "framework/ui/propertysheet.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>

namespace {

struct Target : CCmdTarget {
    std::vector<UINT> ran;
    void Command(UINT id) { OnCommand(id, [this, id] { ran.push_back(id); }); }
    void Update(UINT id, std::function<void(CCmdUI*)> f) { OnUpdateCommandUI(id, std::move(f)); }
    void Range(UINT a, UINT b) { OnCommandRange(a, b, [this](UINT id) { ran.push_back(id); }); }
    void Notify(UINT id, int code) { OnNotify(id, code, [this, id, code] { ran.push_back(id * 100 + UINT(code)); }); }
};

}  // namespace

TEST(CommandRouter, FirstTargetOnTheRouteTakesTheCommand)
{
    CCommandRouter router;
    Target view, doc, frame, app;
    view.Command(1);
    doc.Command(1);
    doc.Command(2);
    app.Command(3);
    app.Range(57616, 57619);
    doc.Notify(32835, CBN_SELENDOK);
    router.SetRoute([&] { return std::vector<CCmdTarget*>{&view, &doc, nullptr, &frame, &app}; });

    EXPECT_TRUE(router.Execute(1));
    EXPECT_TRUE(router.Execute(2));
    EXPECT_TRUE(router.Execute(3));
    EXPECT_TRUE(router.Execute(57618));
    EXPECT_FALSE(router.Execute(4));
    EXPECT_TRUE(router.Execute(32835, CBN_SELENDOK));
    EXPECT_FALSE(router.Execute(32835, CN_COMMAND));
    EXPECT_EQ(view.ran, std::vector<UINT>{1});
    EXPECT_EQ(doc.ran, (std::vector<UINT>{2, 32835 * 100 + CBN_SELENDOK}));
    EXPECT_EQ(app.ran, (std::vector<UINT>{3, 57618}));

    // A triggered action goes the same way, once an update has enabled it.
    router.Action(3)->trigger();
    EXPECT_EQ(app.ran.back(), 57618u);
    router.UpdateAll();
    router.Action(3)->trigger();
    EXPECT_EQ(app.ran.back(), 3u);
}

TEST(CommandRouter, UpdateHandlersSetEnabledCheckedAndRadio)
{
    CCommandRouter router;
    Target doc, app;
    app.Command(10);                       // handler, no update: enabled
    router.Action(11);                     // nobody handles it: disabled
    doc.Update(12, [](CCmdUI* ui) { ui->Enable(FALSE); });
    app.Command(12);                       // the document's update wins over the handler
    doc.Update(13, [](CCmdUI* ui) { ui->SetCheck(1); });
    doc.Update(14, [](CCmdUI* ui) { ui->SetRadio(TRUE); });
    doc.Update(15, [](CCmdUI* ui) { ui->SetText("Renamed"); ui->Enable(); });
    // An update that only checks leaves enabling to the handlers on the route.
    doc.Update(16, [](CCmdUI* ui) { ui->SetCheck(1); });
    app.Command(16);
    router.SetRoute([&] { return std::vector<CCmdTarget*>{&doc, &app}; });
    for (UINT id : {10u, 12u, 13u, 14u, 15u, 16u})
        router.Action(id);
    router.UpdateAll();

    EXPECT_TRUE(router.Action(10)->isEnabled());
    EXPECT_FALSE(router.Action(11)->isEnabled());
    EXPECT_FALSE(router.Action(12)->isEnabled());
    EXPECT_FALSE(router.Action(13)->isEnabled());
    EXPECT_TRUE(router.Action(16)->isEnabled());
    EXPECT_TRUE(router.Action(13)->isChecked());
    EXPECT_TRUE(router.Action(14)->isChecked());
    ASSERT_NE(router.Action(14)->actionGroup(), nullptr);
    EXPECT_TRUE(router.Action(14)->actionGroup()->isExclusive());
    EXPECT_EQ(router.Action(15)->text(), "Renamed");

    // Without a document on the route the check handler is gone and 10 stays runnable.
    router.SetRoute([&] { return std::vector<CCmdTarget*>{&app}; });
    router.UpdateAll();
    EXPECT_TRUE(router.Action(10)->isEnabled());
    EXPECT_TRUE(router.Action(12)->isEnabled());
    EXPECT_FALSE(router.Action(13)->isEnabled());
}

namespace {

struct Page : CPropertyPage {
    Page(UINT id, const char* caption, std::vector<std::string>* log) : CPropertyPage(id, caption), log(log) {}
    std::vector<std::string>* log;
    bool valid = true;
    bool show = true;
    LRESULT next = 0;
    std::string Name() const { return Caption().toStdString(); }
    BOOL OnSetActive() override { log->push_back("set " + Name()); return show; }
    BOOL OnKillActive() override { log->push_back("kill " + Name()); return valid; }
    void OnOK() override { log->push_back("ok " + Name()); }
    void OnCancel() override { log->push_back("cancel " + Name()); }
    LRESULT OnWizardNext() override { return next; }
};

}  // namespace

TEST(PropertySheet, PagesValidateApplyAndClose)
{
    std::vector<std::string> log;
    Page a(1, "A", &log), b(2, "B", &log);
    {
        CPropertySheet sheet("Sheet");
        sheet.AddPage(&a);
        sheet.AddPage(&b);
        sheet.show();
        EXPECT_EQ(sheet.GetActiveIndex(), 0);
        EXPECT_FALSE(sheet.Button(ID_APPLY_NOW)->isEnabled());

        a.valid = false;
        EXPECT_FALSE(sheet.SetActivePage(1));  // A refuses to let go
        EXPECT_EQ(sheet.GetActiveIndex(), 0);
        a.valid = true;
        EXPECT_TRUE(sheet.SetActivePage(1));

        b.SetModified();
        EXPECT_TRUE(sheet.Button(ID_APPLY_NOW)->isEnabled());
        log.clear();
        EXPECT_TRUE(sheet.PressButton(PSBTN_APPLYNOW));
        EXPECT_EQ(log, (std::vector<std::string>{"kill B", "ok B"}));
        EXPECT_FALSE(sheet.Button(ID_APPLY_NOW)->isEnabled());

        log.clear();
        EXPECT_TRUE(sheet.PressButton(PSBTN_OK));
        EXPECT_EQ(sheet.result(), IDOK);
        EXPECT_EQ(log, (std::vector<std::string>{"kill B", "ok A", "ok B"}));
    }
    // The sheet is gone, its pages (owned here) are not.
    EXPECT_EQ(a.GetSheet(), nullptr);
    EXPECT_EQ(a.parent(), nullptr);
}

TEST(PropertySheet, WizardSkipsRefusingPagesAndFinishes)
{
    std::vector<std::string> log;
    Page a(101, "A", &log), b(102, "B", &log), c(103, "C", &log);
    CPropertySheet wizard;
    wizard.SetWizardMode();
    wizard.AddPage(&a);
    wizard.AddPage(&b);
    wizard.AddPage(&c);
    wizard.show();
    EXPECT_FALSE(wizard.Button(ID_WIZBACK)->isEnabled());
    EXPECT_TRUE(wizard.Button(ID_WIZNEXT)->isEnabled());
    EXPECT_FALSE(wizard.Button(ID_WIZFINISH)->isEnabled());

    b.show = false;
    EXPECT_TRUE(wizard.PressButton(PSBTN_NEXT));
    EXPECT_EQ(wizard.GetActivePage(), &c);  // B declined
    EXPECT_TRUE(wizard.Button(ID_WIZFINISH)->isEnabled());
    EXPECT_FALSE(wizard.Button(ID_WIZNEXT)->isEnabled());

    EXPECT_TRUE(wizard.PressButton(PSBTN_BACK));
    EXPECT_EQ(wizard.GetActivePage(), &a);  // back past B as well

    a.next = 103;  // jump by template id
    b.show = true;
    EXPECT_TRUE(wizard.PressButton(PSBTN_NEXT));
    EXPECT_EQ(wizard.GetActivePage(), &c);
    a.next = -1;

    wizard.SetWizardButtons(PSWIZB_BACK | PSWIZB_DISABLEDFINISH | PSWIZB_FINISH);
    EXPECT_FALSE(wizard.PressButton(PSBTN_FINISH));
    wizard.SetWizardButtons(PSWIZB_BACK | PSWIZB_FINISH);
    EXPECT_TRUE(wizard.PressButton(PSBTN_FINISH));
    EXPECT_EQ(wizard.result(), ID_WIZFINISH);
}

// Controls that a dialog puts in place of its layout's, the first control of the window and one
// in the middle, keep their labels' mnemonics and their places in the Tab order.
TEST(DialogLayout, ReplacedControlsKeepMnemonicsAndTabPlaces)
{
    const QByteArray ui = R"(<ui version="4.0"><widget class="QDialog" name="9"><layout class="QGridLayout" name="g">
        <item row="0" column="0"><widget class="QLabel" name="l1"><property name="text"><string>&amp;First:</string></property>
          <property name="buddy"><cstring>10</cstring></property></widget></item>
        <item row="0" column="1"><widget class="QLineEdit" name="10"/></item>
        <item row="1" column="0"><widget class="QLabel" name="l2"><property name="text"><string>&amp;Second:</string></property>
          <property name="buddy"><cstring>11</cstring></property></widget></item>
        <item row="1" column="1"><widget class="QPlainTextEdit" name="11"/></item>
        <item row="2" column="1"><widget class="QComboBox" name="12"><property name="editable"><bool>true</bool></property></widget></item>
        <item row="3" column="1"><widget class="QPushButton" name="1"><property name="text"><string>OK</string></property></widget></item>
      </layout></widget></ui>)";
    QDialog dialog;
    ASSERT_TRUE(ApplyDialogLayout(&dialog, ui));
    auto* first = new QLineEdit;
    auto* second = new QLineEdit;
    EXPECT_EQ(ReplaceDlgControl(GetDlgItem(&dialog, 10), first), first);
    EXPECT_EQ(ReplaceDlgControl(GetDlgItem(&dialog, 11), second), second);
    EXPECT_EQ(GetDlgItem(&dialog, 11), second);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_TRUE(second->isVisible());

    first->setFocus();
    ASSERT_EQ(FocusIn(&dialog), first);
    QList<QWidget*> order;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget();
    }
    QWidget* list = GetDlgItem(&dialog, 12);
    EXPECT_EQ(order, (QList<QWidget*>{second, list, GetDlgItem(&dialog, 1), first}));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), second);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), first);
    EXPECT_TRUE(first->text().isEmpty() && second->text().isEmpty());
}
