#pragma once
// The print preview: the pages of a prepared print job drawn through the print road into Qt's
// preview widget, in a window with a tool bar: print, zoom in, zoom out and close. The job's
// paper and orientation are the view's, so the window offers no page set-up and no turning.

#include "framework/printinfo.h"
#include "framework/types.h"

#include <QDialog>

class CView;
class QAction;
class QPrintPreviewWidget;
class QPrinter;

class CPrintPreviewWindow : public QDialog
{
    Q_OBJECT
public:
    // What exec() returns when the print action closed the window: the caller then runs the
    // print command.
    static constexpr int kPrintRequested = 57607;

    // `info` is a job that the view prepared with its preview flag set; the printer is the
    // one it was prepared on.
    CPrintPreviewWindow(CView* view, QPrinter* printer, const CPrintInfo& info, QWidget* parent = nullptr);

    QPrintPreviewWidget* Preview() const { return m_preview; }
    QAction* PrintAction() const { return m_print; }
    QAction* ZoomInAction() const { return m_zoomIn; }
    QAction* ZoomOutAction() const { return m_zoomOut; }

private:
    CView* m_view;
    CPrintInfo m_info;
    QPrintPreviewWidget* m_preview = nullptr;
    QAction* m_print = nullptr;
    QAction* m_zoomIn = nullptr;
    QAction* m_zoomOut = nullptr;
};
