#include "framework/ui/messagebox.h"

#include "framework/ui/dialogids.h"
#include "framework/ui/uistrings.h"

#include <QApplication>
#include <QMessageBox>

int AfxMessageBox(const CString& text, UINT type, QWidget* parent)
{
    return MessageBox(parent, text, AfxGetAppName(), type);
}

int MessageBox(QWidget* parent, const CString& text, const CString& caption, UINT type)
{
    QMessageBox box(parent ? parent : QApplication::activeWindow());
    box.setWindowTitle(caption);
    box.setText(text);
    switch (type & 0xF0) {
    case MB_ICONERROR: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton escape = QMessageBox::NoButton;
    switch (type & 0x0F) {
    case MB_OKCANCEL: buttons = QMessageBox::Ok | QMessageBox::Cancel; escape = QMessageBox::Cancel; break;
    case MB_YESNOCANCEL:
        buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        escape = QMessageBox::Cancel;
        break;
    case MB_YESNO: buttons = QMessageBox::Yes | QMessageBox::No; break;
    default: buttons = QMessageBox::Ok; escape = QMessageBox::Ok; break;
    }
    box.setStandardButtons(buttons);
    if (escape != QMessageBox::NoButton)
        box.setEscapeButton(escape);

    box.exec();
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok: return IDOK;
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    case QMessageBox::Cancel: return IDCANCEL;
    default:
        // Closed without a button (only a box with Yes and No has no escape button).
        return (type & 0x0F) == MB_YESNO ? IDNO : IDCANCEL;
    }
}

int AfxMessageBox(UINT stringId, UINT type, QWidget* parent)
{
    return AfxMessageBox(AfxLoadString(stringId), type, parent);
}
