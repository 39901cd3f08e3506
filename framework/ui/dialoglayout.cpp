#include "framework/ui/dialoglayout.h"

#include <QAbstractButton>
#include <QBuffer>
#include <QCoreApplication>
#include <QDialog>
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

}  // namespace

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
