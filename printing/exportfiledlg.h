#pragma once
// The dialog that asks where to export the label as a picture and at what resolution. It does
// no rendering itself: the caller reads the path, the extension chosen by browsing (empty when
// the path was typed) and the resolution after DoModal answers IDOK.

#include "framework/types.h"

#include <QDialog>

class QLineEdit;
class QPushButton;

class CExportFileDlg : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kMinResolution = 16;
    static constexpr int kMaxResolution = 1536;

    explicit CExportFileDlg(QWidget* parent = nullptr);

    int DoModal();

    CString m_strFilePath;
    CString m_strFileExt;
    int m_nResolution = 0;

    // The resolution's complaint, or empty when it lies in the range.
    static CString CheckResolution(int dpi);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnBrowse();
    void OnOK();
    // Shows the complaint and puts the focus back on the resolution; FALSE when it did.
    BOOL ValidateResolution();

    QLineEdit* m_resolution = nullptr;
    QLineEdit* m_path = nullptr;
    QPushButton* m_cancel = nullptr;
    BOOL m_bChecking = FALSE;
};
