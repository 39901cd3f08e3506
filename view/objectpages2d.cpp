#include "view/objectpages2d.h"

#include "framework/resourcemodule.h"
#include "framework/textnumbers.h"
#include "framework/ui/dialoglayout.h"
#include "symbology/codepages.h"
#include "symbology/datamatrixencoder.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QScrollBar>

#include <algorithm>

namespace {

constexpr UINT IDD_PDF417 = 171, IDD_QRCODE = 172, IDD_DATAMATRIX = 173;
constexpr int IDC_MODULE = 133, IDC_MODULE_UPDOWN = 106;
constexpr int IDC_QR_LEVEL = 134, IDC_QR_CODEPAGE = 135;
constexpr int IDC_PDF_LEVEL = 134, IDC_PDF_FACTOR = 135, IDC_PDF_FACTOR_UPDOWN = 105, IDC_PDF_ROWS = 136,
              IDC_PDF_ROWS_UPDOWN = 104, IDC_PDF_CODEPAGE = 137;
constexpr int IDC_DM_ECC = 136, IDC_DM_CODEPAGE = 135, IDC_DM_SIZE = 190;
constexpr UINT IDS_SIZE_RECTANGLE = 15, IDS_SIZE_SQUARE = 16, IDS_AUTOMATIC = 51, IDS_RECOVERS = 52;

CString String(UINT id)
{
    return CResourceModule::Get().LoadString(id);
}

void LoadPageLayout(CPropertyPage* page, UINT id)
{
    ApplyDialogLayout(page, CResourceModule::Get().LoadDialogLayout(id));
    page->SetCaption(page->windowTitle());
}

// Module sizes as "%.2f" millimetres, each with its size in logical units; the current selected.
void FillModuleSizes(QComboBox* list, const CModuleSizeTable& sizes, int current)
{
    if (!list)
        return;
    list->clear();
    for (const auto& [units, mm] : sizes)
        list->addItem(QString::number(mm, 'f', 2), units);
    list->setCurrentIndex(list->findData(current));
}

// The code pages the system converts to, as the catalogue describes them in upper case.
void FillCodePages(QComboBox* list, UINT current, int droppedWidth)
{
    if (!list)
        return;
    CCodePageMap pages;
    FillCodePageList(pages);
    list->clear();
    for (const auto& [page, text] : pages)
        list->addItem(text.toUpper(), page);
    list->setCurrentIndex(list->findData(current));
    list->view()->setMinimumWidth(droppedWidth);
}

// A list of whole numbers from..to, with an optional first item of its own.
void FillNumbers(QComboBox* list, const CString& first, int from, int to)
{
    if (!list)
        return;
    list->clear();
    if (!first.isEmpty())
        list->addItem(first, -1);
    for (int i = from; i <= to; ++i)
        list->addItem(QString::number(i), i);
}

int SelectedData(QComboBox* list, int otherwise)
{
    return list && list->currentIndex() >= 0 ? list->currentData().toInt() : otherwise;
}

// Runs `apply` whenever the list's selection changes.
template <typename F>
void OnChange(QComboBox* list, QObject* owner, F apply)
{
    if (list)
        QObject::connect(list, &QComboBox::currentIndexChanged, owner, [apply](int) { apply(); });
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CListUpDown

CListUpDown::CListUpDown(QComboBox* list, QScrollBar* upDown, std::function<void()> changed, QObject* parent)
    : QObject(parent), m_list(list), m_upDown(upDown), m_changed(std::move(changed))
{
    if (!m_list)
        return;
    connect(m_list, &QComboBox::currentIndexChanged, this, [this](int) {
        Sync();
        if (m_changed)
            m_changed();
    });
    if (!m_upDown)
        return;
    AttachUpDown(m_upDown, m_list);
    m_upDown->setOrientation(Qt::Vertical);
    m_upDown->setSingleStep(1);
    m_upDown->setPageStep(1);
    connect(m_upDown, &QScrollBar::actionTriggered, this, [this](int) { Step(); });
    Sync();
}

// The scroll bar counts downwards, so its value is the index from the end of the list.
void CListUpDown::Sync()
{
    if (!m_upDown || !m_list)
        return;
    m_syncing = true;
    const int last = std::max(m_list->count() - 1, 0);
    m_upDown->setRange(0, last);
    m_upDown->setValue(last - std::max(m_list->currentIndex(), 0));
    m_syncing = false;
}

void CListUpDown::Step()
{
    if (m_syncing)
        return;
    const int last = std::max(m_list->count() - 1, 0);
    // The stepped position, already kept within the range by the scroll bar.
    const int index = last - m_upDown->sliderPosition();
    if (index != m_list->currentIndex())
        m_list->setCurrentIndex(index);  // moves the up-down back in step and applies
    else
        Sync();
}

// ---------------------------------------------------------------------------------------------
// CQRCodePropPage

CQRCodePropPage::CQRCodePropPage(CQRCodePageData* data, QWidget* parent)
    : CPropertyPage(IDD_QRCODE, {}, parent), m_data(data)
{
    LoadPageLayout(this, IDD_QRCODE);
}

BOOL CQRCodePropPage::OnInitDialog()
{
    auto* sizes = GetDlgItem<QComboBox>(this, IDC_MODULE);
    FillModuleSizes(sizes, m_data->sizes, m_data->moduleSize);
    if (auto* level = GetDlgItem<QComboBox>(this, IDC_QR_LEVEL)) {
        level->clear();
        const CString recovers = String(IDS_RECOVERS);
        const char* const names[] = {"L %1 7%", "M %1 15%", "Q %1 25%", "H %1 35%"};
        for (int i = 0; i < 4; ++i)
            level->addItem(QString::fromLatin1(names[i]).arg(recovers), i);
        level->setCurrentIndex(level->findData(m_data->ecLevel));
        OnChange(level, this, [this] { Apply(); });
    }
    auto* pages = GetDlgItem<QComboBox>(this, IDC_QR_CODEPAGE);
    FillCodePages(pages, m_data->codePage, 350);
    OnChange(pages, this, [this] { Apply(); });
    m_sizeUpDown = new CListUpDown(sizes, GetDlgItem<QScrollBar>(this, IDC_MODULE_UPDOWN), [this] { Apply(); }, this);
    return TRUE;
}

void CQRCodePropPage::Apply()
{
    m_data->moduleSize = SelectedData(GetDlgItem<QComboBox>(this, IDC_MODULE), m_data->moduleSize);
    m_data->ecLevel = SelectedData(GetDlgItem<QComboBox>(this, IDC_QR_LEVEL), m_data->ecLevel);
    m_data->codePage = UINT(SelectedData(GetDlgItem<QComboBox>(this, IDC_QR_CODEPAGE), int(m_data->codePage)));
    SetModified();
}

// ---------------------------------------------------------------------------------------------
// CPDF417PropPage

CPDF417PropPage::CPDF417PropPage(CPDF417PageData* data, QWidget* parent)
    : CPropertyPage(IDD_PDF417, {}, parent), m_data(data)
{
    LoadPageLayout(this, IDD_PDF417);
}

BOOL CPDF417PropPage::OnInitDialog()
{
    const CString automatic = String(IDS_AUTOMATIC);
    auto* sizes = GetDlgItem<QComboBox>(this, IDC_MODULE);
    FillModuleSizes(sizes, m_data->sizes, m_data->moduleWidth);
    auto* level = GetDlgItem<QComboBox>(this, IDC_PDF_LEVEL);
    FillNumbers(level, automatic, 0, 8);
    if (level)
        level->setCurrentIndex(m_data->levelAutomatic ? 0 : level->findData(m_data->errorLevel));
    auto* factor = GetDlgItem<QComboBox>(this, IDC_PDF_FACTOR);
    FillNumbers(factor, {}, 1, 10);
    if (factor)
        factor->setCurrentIndex(factor->findData(m_data->rowFactor));
    auto* rows = GetDlgItem<QComboBox>(this, IDC_PDF_ROWS);
    FillNumbers(rows, automatic, 1, 30);
    if (rows)
        rows->setCurrentIndex(m_data->rowsFixed ? rows->findData(m_data->rows) : 0);
    auto* pages = GetDlgItem<QComboBox>(this, IDC_PDF_CODEPAGE);
    FillCodePages(pages, m_data->codePage, 400);

    OnChange(level, this, [this] { Apply(); });
    OnChange(pages, this, [this] { Apply(); });
    const std::pair<QComboBox*, int> pairs[] = {
        {sizes, IDC_MODULE_UPDOWN}, {factor, IDC_PDF_FACTOR_UPDOWN}, {rows, IDC_PDF_ROWS_UPDOWN}};
    for (const auto& [list, upDown] : pairs)
        m_upDowns.push_back(new CListUpDown(list, GetDlgItem<QScrollBar>(this, upDown), [this] { Apply(); }, this));
    return TRUE;
}

void CPDF417PropPage::Apply()
{
    const CString automatic = String(IDS_AUTOMATIC);
    m_data->moduleWidth = SelectedData(GetDlgItem<QComboBox>(this, IDC_MODULE), m_data->moduleWidth);
    if (auto* level = GetDlgItem<QComboBox>(this, IDC_PDF_LEVEL); level && level->currentIndex() >= 0) {
        const CString text = level->currentText();
        m_data->levelAutomatic = text == automatic;
        m_data->errorLevel = m_data->levelAutomatic ? 0 : Wtoi(text);
    }
    if (auto* factor = GetDlgItem<QComboBox>(this, IDC_PDF_FACTOR); factor && factor->currentIndex() >= 0)
        m_data->rowFactor = Wtoi(factor->currentText());
    if (auto* rows = GetDlgItem<QComboBox>(this, IDC_PDF_ROWS); rows && rows->currentIndex() >= 0) {
        const CString text = rows->currentText();
        m_data->rowsFixed = text != automatic;
        m_data->rows = m_data->rowsFixed ? Wtoi(text) : 0;
    }
    m_data->codePage = UINT(SelectedData(GetDlgItem<QComboBox>(this, IDC_PDF_CODEPAGE), int(m_data->codePage)));
    SetModified();
}

// ---------------------------------------------------------------------------------------------
// CDataMatrixPropPage

CDataMatrixPropPage::CDataMatrixPropPage(CDataMatrixPageData* data, QWidget* parent)
    : CPropertyPage(IDD_DATAMATRIX, {}, parent), m_data(data)
{
    LoadPageLayout(this, IDD_DATAMATRIX);
}

BOOL CDataMatrixPropPage::OnInitDialog()
{
    if (auto* ecc = GetDlgItem<QComboBox>(this, IDC_DM_ECC))
        ecc->setCurrentIndex(0);
    auto* sizes = GetDlgItem<QComboBox>(this, IDC_MODULE);
    FillModuleSizes(sizes, m_data->sizes, m_data->moduleSize);
    auto* pages = GetDlgItem<QComboBox>(this, IDC_DM_CODEPAGE);
    FillCodePages(pages, m_data->codePage, 350);
    if (auto* shape = GetDlgItem<QComboBox>(this, IDC_DM_SIZE)) {
        shape->clear();
        shape->addItem(String(IDS_SIZE_RECTANGLE), -2);
        shape->addItem(String(IDS_SIZE_SQUARE), -1);
        for (int i = 0; i < DATAMATRIX_SIZE_COUNT; ++i) {
            const CSize modules = CDataMatrixEncoder::FixedSymbolSize(i);
            shape->addItem(QStringLiteral("%1 x %2").arg(modules.cy).arg(modules.cx), i);
        }
        shape->setCurrentIndex(shape->findData(m_data->sizeRequest));
        OnChange(shape, this, [this] { Apply(); });
    }
    OnChange(pages, this, [this] { Apply(); });
    OnChange(GetDlgItem<QComboBox>(this, IDC_DM_ECC), this, [this] { Apply(); });
    m_sizeUpDown = new CListUpDown(sizes, GetDlgItem<QScrollBar>(this, IDC_MODULE_UPDOWN), [this] { Apply(); }, this);
    return TRUE;
}

void CDataMatrixPropPage::Apply()
{
    m_data->moduleSize = SelectedData(GetDlgItem<QComboBox>(this, IDC_MODULE), m_data->moduleSize);
    m_data->sizeRequest = SelectedData(GetDlgItem<QComboBox>(this, IDC_DM_SIZE), m_data->sizeRequest);
    m_data->codePage = UINT(SelectedData(GetDlgItem<QComboBox>(this, IDC_DM_CODEPAGE), int(m_data->codePage)));
    SetModified();
}
