#pragma once
// Dialog layouts of the resource module (Designer .ui text, controls named by their numeric
// ids) placed inside our dialogs.

#include "framework/types.h"

#include <QByteArray>
#include <QWidget>

#include <functional>

class QDialog;

// Loads the layout into a dialog or a property page (replacing any layout it has) and takes over
// the layout's window title; in a dialog, the layout's buttons 1 and 2 accept and reject it.
// False when the text is empty or not a layout; the widget is left as it was.
bool ApplyDialogLayout(QWidget* dialog, const QByteArray& uiText);

// The layout as a plain widget inside parent (a page, a tab of another dialog); null when the
// text is empty or not a layout. Its OK and Cancel buttons are not connected to anything.
QWidget* LoadDialogForm(const QByteArray& uiText, QWidget* parent);

// Controls of our own that layouts name by their class (a custom widget of the .ui text): the
// loader makes them with the function registered for the class name. Returns true, so that a
// static object of the control's own file can register it.
bool RegisterDialogControl(const QString& className, std::function<QWidget*(QWidget* parent)> make);

// Puts widget in the place of a layout's control and deletes the control: the widget takes its
// id, its cell in the layout (or its geometry in a form placed by coordinates), its visibility,
// its place in the Tab order and the labels whose mnemonic leads to it. Returns the widget.
QWidget* ReplaceDlgControl(QWidget* control, QWidget* widget);

// Sets an up-down against the right side of the box it steps, as tall as the box: the two then
// share the box's cell of the layout, the up-down leaving a cell of its own beside it. The
// controls keep their parent and their place in the Tab order.
void AttachUpDown(QWidget* upDown, QWidget* box);

// The control of a dialog with the given id, or null.
template <typename T = QWidget>
T* GetDlgItem(QWidget* dialog, int id)
{
    return dialog ? dialog->findChild<T*>(QString::number(id)) : nullptr;
}

// Sets the text of a label, button, line or text edit; false when the control is missing.
bool SetDlgItemText(QWidget* dialog, int id, const CString& text);
CString GetDlgItemText(QWidget* dialog, int id);
