#include "framework/ui/dialoglayout.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QBuffer>
#include <QCoreApplication>
#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QUiLoader>
#include <QVBoxLayout>

#include <map>

namespace {

using ControlFactories = std::map<QString, std::function<QWidget*(QWidget*)>>;

ControlFactories& Factories()
{
    static ControlFactories factories;
    return factories;
}

// Makes our own controls by class name and leaves every other class to Qt's loader. A layout
// drawn as a dialog becomes a plain widget: inside our dialog its buttons then belong to ours,
// so the layout's default button stays the default and Escape and Enter reach our dialog.
class CDialogLayoutLoader : public QUiLoader {
public:
    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override
    {
        const bool top = m_top;
        m_top = false;
        QWidget* w = nullptr;
        if (const auto it = Factories().find(className); it != Factories().end())
            w = it->second(parent);
        else if (top && className == QLatin1String("QDialog"))
            w = new QWidget(parent);
        else
            return QUiLoader::createWidget(className, parent, name);
        if (w)
            w->setObjectName(name);
        return w;
    }

private:
    bool m_top = true;
};

// The nearest widget before the control in its window's focus chain that takes the focus and
// is not a part of the control. The chain is a ring: for the first control of a window that is
// the last one, after which comes the first again.
QWidget* FocusableBefore(QWidget* control)
{
    for (QWidget* w = control->previousInFocusChain(); w && w != control; w = w->previousInFocusChain())
        if (w->focusPolicy() != Qt::NoFocus && !control->isAncestorOf(w))
            return w;
    return nullptr;
}

// The widget and those of its parts that take the focus, in the order of the focus chain.
QList<QWidget*> FocusBlock(QWidget* widget)
{
    QList<QWidget*> block;
    if (widget->focusPolicy() != Qt::NoFocus)
        block << widget;
    for (QWidget* w = widget->nextInFocusChain(); w && w != widget; w = w->nextInFocusChain())
        if (widget->isAncestorOf(w) && w->focusPolicy() != Qt::NoFocus)
            block << w;
    return block;
}

// The layout, among layout and those nested in it, that holds the widget itself.
QLayout* LayoutHolding(QLayout* layout, QWidget* widget)
{
    if (!layout)
        return nullptr;
    if (layout->indexOf(widget) >= 0)
        return layout;
    for (int i = 0; i < layout->count(); ++i)
        if (QLayout* found = LayoutHolding(layout->itemAt(i)->layout(), widget))
            return found;
    return nullptr;
}

}  // namespace

void AttachUpDown(QWidget* upDown, QWidget* box)
{
    if (!upDown || !box || upDown->parentWidget() != box->parentWidget())
        return;
    // As tall as the row of the pair, which the box decides.
    upDown->setMinimumHeight(0);
    upDown->setMaximumHeight(QWIDGETSIZE_MAX);
    upDown->setSizePolicy(upDown->sizePolicy().horizontalPolicy(), QSizePolicy::Ignored);
    QWidget* parent = box->parentWidget();
    QLayout* around = parent ? LayoutHolding(parent->layout(), box) : nullptr;
    if (around && around->indexOf(upDown) == around->indexOf(box) + 1 && around->spacing() == 0)
        return;  // paired already
    QLayout* own = parent ? LayoutHolding(parent->layout(), upDown) : nullptr;
    auto* pair = new QHBoxLayout;
    pair->setSpacing(0);
    pair->setContentsMargins(0, 0, 0, 0);
    if (auto* grid = qobject_cast<QGridLayout*>(around)) {
        int row = 0, column = 0, rows = 1, columns = 1;
        grid->getItemPosition(grid->indexOf(box), &row, &column, &rows, &columns);
        // The up-down's own cell just right of the box joins the box's.
        if (own == grid) {
            int r = 0, c = 0, rs = 1, cs = 1;
            grid->getItemPosition(grid->indexOf(upDown), &r, &c, &rs, &cs);
            if (r == row && c == column + columns)
                columns += cs;
        }
        if (own)
            own->removeWidget(upDown);
        grid->removeWidget(box);
        pair->addWidget(box);
        pair->addWidget(upDown);
        // A box narrower than its cell keeps the up-down beside it, the rest of the cell empty.
        if (box->maximumWidth() < QWIDGETSIZE_MAX)
            pair->addStretch();
        grid->addLayout(pair, row, column, rows, columns);
    } else if (auto* line = qobject_cast<QBoxLayout*>(around)) {
        if (own)
            own->removeWidget(upDown);
        const int at = line->indexOf(box);
        line->removeWidget(box);
        pair->addWidget(box);
        pair->addWidget(upDown);
        line->insertLayout(at, pair);
    } else {
        delete pair;
        upDown->setGeometry(box->geometry().right() + 1, box->y(), upDown->width(), box->height());
        return;
    }
    // A page laid out already shows the pair at once.
    if (parent->isVisible())
        parent->layout()->activate();
}

QWidget* ReplaceDlgControl(QWidget* control, QWidget* widget)
{
    if (!control || !widget || control == widget)
        return widget;
    QWidget* parent = control->parentWidget();
    QWidget* before = FocusableBefore(control);
    QList<QLabel*> labels;
    for (QLabel* label : control->window()->findChildren<QLabel*>())
        if (label->buddy() == control)
            labels << label;

    widget->setParent(parent);
    widget->setObjectName(control->objectName());
    control->setObjectName({});
    if (widget->minimumSize().isNull())
        widget->setMinimumSize(control->minimumSize());
    QLayoutItem* cell = parent && parent->layout() ? parent->layout()->replaceWidget(control, widget) : nullptr;
    if (cell)
        delete cell;
    else
        widget->setGeometry(control->geometry());
    if (control->isHidden() && control->testAttribute(Qt::WA_WState_ExplicitShowHide))
        widget->hide();
    else if (parent && parent->isVisible())
        widget->show();

    // A widget joins its window's focus chain at the end: it goes back to where the control was.
    if (before) {
        QWidget* previous = before;
        for (QWidget* w : FocusBlock(widget)) {
            QWidget::setTabOrder(previous, w);
            previous = w;
        }
    }
    for (QLabel* label : labels)
        label->setBuddy(widget);
    delete control;
    return widget;
}

bool RegisterDialogControl(const QString& className, std::function<QWidget*(QWidget* parent)> make)
{
    Factories()[className] = std::move(make);
    return true;
}

QWidget* LoadDialogForm(const QByteArray& uiText, QWidget* parent)
{
    if (uiText.isEmpty())
        return nullptr;
    QByteArray copy = uiText;
    QBuffer buffer(&copy);
    if (!buffer.open(QIODevice::ReadOnly))
        return nullptr;
    CDialogLayoutLoader loader;
    QWidget* form = loader.load(&buffer, parent);
    if (!form)
        return nullptr;
    // A form placed by coordinates has no layout to tell its size: keep the size it was drawn at.
    if (!form->layout())
        form->setMinimumSize(form->size());
    return form;
}

bool ApplyDialogLayout(QWidget* dialog, const QByteArray& uiText)
{
    if (!dialog)
        return false;
    QWidget* form = LoadDialogForm(uiText, dialog);
    if (!form)
        return false;
    if (!form->windowTitle().isEmpty())
        dialog->setWindowTitle(form->windowTitle());
    delete dialog->layout();
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(form);
    // The layout's OK and Cancel buttons close our dialog.
    if (auto* d = qobject_cast<QDialog*>(dialog)) {
        for (auto* b : form->findChildren<QAbstractButton*>(QStringLiteral("1")))
            QObject::connect(b, &QAbstractButton::clicked, d, &QDialog::accept);
        for (auto* b : form->findChildren<QAbstractButton*>(QStringLiteral("2")))
            QObject::connect(b, &QAbstractButton::clicked, d, &QDialog::reject);
    }
    return true;
}

bool SetDlgItemText(QWidget* dialog, int id, const CString& text)
{
    QWidget* w = GetDlgItem(dialog, id);
    if (auto* l = qobject_cast<QLabel*>(w))
        l->setText(text);
    else if (auto* b = qobject_cast<QAbstractButton*>(w))
        b->setText(text);
    else if (auto* e = qobject_cast<QLineEdit*>(w))
        e->setText(text);
    else if (auto* t = qobject_cast<QTextEdit*>(w))
        t->setPlainText(text);
    else if (auto* p = qobject_cast<QPlainTextEdit*>(w))
        p->setPlainText(text);
    else
        return false;
    return true;
}

CString GetDlgItemText(QWidget* dialog, int id)
{
    QWidget* w = GetDlgItem(dialog, id);
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return e->text();
    if (auto* t = qobject_cast<QTextEdit*>(w))
        return t->toPlainText();
    if (auto* p = qobject_cast<QPlainTextEdit*>(w))
        return p->toPlainText();
    return {};
}
