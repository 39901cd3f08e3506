#pragma once
// The choice of which label cells of one sheet to print. The chosen cells replace the document's
// cell selection when the dialog ends with OK; the print job then prints one sheet of them.

#include <QDialog>

class CDrawDoc;
class CPrintSelectPreview;

class CTagSelectDlg : public QDialog {
    Q_OBJECT
public:
    explicit CTagSelectDlg(QWidget* parent = nullptr);

    // Empties the document's cell selection and runs the dialog; on IDOK the preview's cells
    // become the selection. Returns the dialog's result.
    virtual int DoModal(CDrawDoc* doc);

    CPrintSelectPreview* Preview() const { return m_preview; }

    // OK only with at least one chosen cell; otherwise a message, and the dialog stays open.
    void accept() override;

private:
    void InitPreview();

    CPrintSelectPreview* m_preview = nullptr;
    CDrawDoc* m_doc = nullptr;
};
