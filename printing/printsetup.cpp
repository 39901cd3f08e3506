#include "printing/printsetup.h"

CPrintSetupDlg::CPrintSetupDlg(QPrinter* printer, const QString& caption, QWidget* parent)
    : QPrintDialog(printer, parent)
{
    // No pages, copies or file: only the printer and its paper.
    setOptions(QAbstractPrintDialog::PrintShowPageSize);
    if (!caption.isEmpty())
        setWindowTitle(caption);
}
