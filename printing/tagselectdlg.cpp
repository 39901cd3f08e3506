#include "printing/tagselectdlg.h"

#include "document/drawdoc.h"
#include "framework/resourcemodule.h"
#include "framework/ui/dialogids.h"
#include "framework/ui/dialoglayout.h"
#include "framework/ui/messagebox.h"
#include "printing/sheetlayout.h"
#include "printing/sheetpreview.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr unsigned kTemplate = 147;
constexpr int kPreviewControl = 171;
constexpr unsigned kChooseACell = 58;
}  // namespace

CTagSelectDlg::CTagSelectDlg(QWidget* parent) : QDialog(parent)
{
    if (!ApplyDialogLayout(this, CResourceModule::Get().LoadDialogLayout(kTemplate))) {
        // Without the resource module: the preview and the two buttons.
        auto* layout = new QVBoxLayout(this);
        auto* preview = new CPrintSelectPreview(this);
        preview->setObjectName(QString::number(kPreviewControl));
        preview->setMinimumSize(320, 380);
        layout->addWidget(preview);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        buttons->button(QDialogButtonBox::Ok)->setObjectName(QString::number(IDOK));
        buttons->button(QDialogButtonBox::Cancel)->setObjectName(QString::number(IDCANCEL));
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        layout->addWidget(buttons);
    }
    m_preview = GetDlgItem<CPrintSelectPreview>(this, kPreviewControl);
}

int CTagSelectDlg::DoModal(CDrawDoc* doc)
{
    m_doc = doc;
    if (!m_doc || !m_preview)
        return IDCANCEL;
    m_doc->GetSelectTags().clear();
    InitPreview();
    const int result = exec() == QDialog::Accepted ? IDOK : IDCANCEL;
    if (result == IDOK)
        m_doc->GetSelectTags() = m_preview->GetCells();
    return result;
}

void CTagSelectDlg::InitPreview()
{
    float left = 0, top = 0, right = 0, bottom = 0;
    m_doc->GetMargins(&left, &top, &right, &bottom);
    const float* paper = m_doc->GetPaperSize();
    m_preview->SetPaper(CSize(StoredLength(paper[0]), StoredLength(paper[1])),
                        CRect(StoredLength(left), StoredLength(top), StoredLength(right),
                              StoredLength(bottom)));
    const float* label = m_doc->GetLabelSize();
    m_preview->SetLabelSize(StoredLength(label[0]), StoredLength(label[1]));
    const int* grid = m_doc->GetLabelGrid();
    m_preview->SetGrid(grid[0], grid[1]);
    const float* gap = m_doc->GetLabelGap();
    m_preview->SetGap(StoredLength(gap[0]), StoredLength(gap[1]));
}

void CTagSelectDlg::accept()
{
    const std::vector<CSelectTag> cells = m_preview ? m_preview->GetCells() : std::vector<CSelectTag>();
    if (std::none_of(cells.begin(), cells.end(), [](const CSelectTag& c) { return c.chosen; })) {
        AfxMessageBox(CResourceModule::Get().LoadString(kChooseACell), MB_ICONWARNING, this);
        return;
    }
    QDialog::accept();
}
