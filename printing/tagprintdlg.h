#pragma once
// The dialogs that ask how many labels to print: CTagPrintDlg is Qt's print dialog with a tab
// of our own (template 138) that also leads to the choice of single cells, and CTagPreviewDlg
// (template 146) asks before the print preview. Both put the count into the document.
//
// For a document with a data source both show the print-data button (4) and its text (200): the
// document's print-data grid is loaded when they open, and the button lets the user tick the
// records to print in the print-data dialog, whose OK makes their number the count.

#include "framework/types.h"

#include <QDialog>
#include <QPageLayout>
#include <QPrintDialog>

#include <cstdint>

class CDrawDoc;
class CLabelCountBox;
class QPrinter;

// Opens the document's print-data grid on its source and fills it with its query; unless
// `always`, a grid already open on the same source and query is left as it stands. A source that cannot
// be reached is reported (string 94 and the cause) and leaves the grid closed; FALSE then, and
// for a document without a source.
BOOL LoadPrintData(CDrawDoc* doc, BOOL always, QWidget* parent);
// The print-data button: the grid loaded afresh, the print-data dialog, and on its OK the
// document's grid reduced to the ticked records, whose number goes into the count box. Cancel
// leaves the grid's records and the count as they were before.
void RunPrintData(CDrawDoc* doc, CLabelCountBox* count, QWidget* parent);

// The printer takes the document's paper: its paper code, or its stored size as a custom paper,
// turned by its orientation.
void UseDocumentPaper(QPrinter* printer, CDrawDoc* doc);

class CTagPrintDlg : public QPrintDialog
{
    Q_OBJECT
public:
    static constexpr UINT kTemplate = 138;

    // The dialog on a printer (the application's); pages 1 to 65535 may be asked for and the
    // copies start at 1.
    CTagPrintDlg(CDrawDoc* doc, QPrinter* printer, QWidget* parent = nullptr);

    // The count the box starts with, set before the dialog runs.
    void SetLabelCount(int count);
    // The document's labels to print.
    int GetLabelCount() const;
    // The labels tab.
    QWidget* LabelsTab() const { return m_tab; }

    // OK: the document takes the count and prints whole sheets (its chosen cells are emptied).
    // The job keeps the document's paper and orientation, whatever paper the dialog's printer
    // offered, unless the user chose a paper or an orientation in the dialog.
    void accept() override;
    // OK is refused, with a message, when the pages asked for hold no page of the job.
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Notes a user's choice among the paper sizes and orientations of a page of the dialog.
    void WatchPaperControls(QWidget* window);
    void KeepDocumentPaper();
    // The page the job will print on, as the dialog stands.
    QPageLayout JobPage() const;

    // Print to File offers a file named after the label being printed.
    void ProposePrintFile();
    // Pages are chosen from-to only: the list of pages that the print server would apply is not
    // offered.
    void HideServerPageList();
    // The pages of a job of `count` labels on whole sheets.
    std::int64_t JobPages(int count) const;

    void InitCount();
    // Button 3: the dialog ends with OK, then the cells to print are chosen on one sheet; a
    // cancelled choice cancels the job. The count is not read on this road.
    void OnSelectLabels();

    CDrawDoc* m_doc;
    int m_nInitialCount = 1;
    bool m_bChoosingCells = false;  // OK was pressed by the cells button
    QWidget* m_tab = nullptr;
    CLabelCountBox* m_count = nullptr;
    bool m_paperChosen = false;
    std::int64_t m_jobPages = 0;  // of the job OK was pressed for
    bool m_ended = false;         // OK ended the dialog
};

class CTagPreviewDlg : public QDialog
{
    Q_OBJECT
public:
    static constexpr UINT kTemplate = 146;

    explicit CTagPreviewDlg(CDrawDoc* doc, QWidget* parent = nullptr);

    // Writes the document's labels to print and shows it.
    void SetLabelCount(int count);
    int GetLabelCount() const;

    // OK: the preview shows whole sheets (the document's chosen cells are emptied).
    void accept() override;

private:
    CDrawDoc* m_doc;
    CLabelCountBox* m_count = nullptr;
};
