#include "framework/ui/printpreview.h"

#include "framework/printjob.h"
#include "framework/ui/uistrings.h"

#include <QAction>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

namespace {
constexpr UINT kPreviewCommand = 57609;
constexpr UINT kZoomInCommand = 32819;
constexpr UINT kZoomOutCommand = 32820;
constexpr UINT kCloseCommand = 57602;

// The short name of a command: the part of its prompt after the line break.
CString CommandName(UINT id, const char* fallback)
{
    const CString prompt = AfxLoadString(id);
    const qsizetype cut = prompt.indexOf(u'\n');
    const CString name = cut >= 0 ? prompt.mid(cut + 1) : CString();
    return name.isEmpty() ? QString::fromLatin1(fallback) : name;
}
}  // namespace

CPrintPreviewWindow::CPrintPreviewWindow(CView* view, QPrinter* printer, const CPrintInfo& info, QWidget* parent)
    : QDialog(parent), m_view(view), m_info(info)
{
    setWindowTitle(CommandName(kPreviewCommand, "Print Preview"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    m_preview = new QPrintPreviewWidget(printer, this);
    m_preview->setObjectName(QStringLiteral("preview"));
    // Every repaint of the preview runs the job's pages again on the preview's printer.
    connect(m_preview, &QPrintPreviewWidget::paintRequested, this, [this](QPrinter* target) {
        CPrintInfo job = m_info;
        AfxPrintPages(m_view, target, &job);
    });

    auto* bar = new QToolBar(this);
    m_print = bar->addAction(style()->standardIcon(QStyle::SP_DialogSaveButton), CommandName(kPrintRequested, "Print"));
    bar->addSeparator();
    m_zoomIn = bar->addAction(CommandName(kZoomInCommand, "Zoom In"));
    m_zoomOut = bar->addAction(CommandName(kZoomOutCommand, "Zoom Out"));
    bar->addSeparator();
    QAction* close = bar->addAction(CommandName(kCloseCommand, "Close"));
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);

    connect(m_zoomIn, &QAction::triggered, m_preview, [this] { m_preview->zoomIn(); });
    connect(m_zoomOut, &QAction::triggered, m_preview, [this] { m_preview->zoomOut(); });
    connect(close, &QAction::triggered, this, &QDialog::reject);
    connect(m_print, &QAction::triggered, this, [this] { done(kPrintRequested); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_preview);
    resize(900, 700);
}
