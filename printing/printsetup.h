#pragma once
// File > Print Setup: Qt's print dialog reduced to the choice of the printer and its properties
// (paper, orientation). What it leaves in the application's printer is what the print dialog and
// the label wizard offer first.

#include <QPrintDialog>

class CPrintSetupDlg : public QPrintDialog
{
    Q_OBJECT
public:
    CPrintSetupDlg(QPrinter* printer, const QString& caption, QWidget* parent = nullptr);
};
