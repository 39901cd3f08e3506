#include "data/ui/datasourcedlg.h"

#include "framework/resourcemodule.h"
#include "framework/textnumbers.h"
#include "framework/ui/dialoglayout.h"
#include "framework/ui/messagebox.h"
#include "framework/ui/uistrings.h"
#include "objects/drawviewbase.h"
#include "symbology/drawbarcode.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>

namespace {

constexpr int IDC_TEXT = 128, IDC_NAME = 130, IDC_MODE = 133, IDC_ALIGN = 192;
constexpr int IDC_WIDTH = 205, IDC_HEIGHT = 125, IDC_UPDOWN = 104;
constexpr int IDC_PREFIX = 136, IDC_SUFFIX = 132, IDC_STEP = 134, IDC_REPEAT = 1154;
constexpr int IDC_UP = 140, IDC_DOWN = 141, IDC_FIELDS = 135, IDC_ADD = 138, IDC_REMOVE = 139;
constexpr int IDC_GRID = 202;
constexpr int kSerialGroup[] = {173, 174, 175, 176, IDC_PREFIX, IDC_SUFFIX, IDC_STEP, IDC_REPEAT, IDC_UP, IDC_DOWN, 177};
constexpr int kDatabaseGroup[] = {178, IDC_FIELDS, IDC_GRID, IDC_PREFIX, IDC_SUFFIX, 173, 174, IDC_ADD, IDC_REMOVE};

constexpr UINT IDS_FIXED = 80, IDS_SERIAL = 81, IDS_DATABASE = 82;
constexpr UINT IDS_LEFT = 90, IDS_RIGHT = 91, IDS_CENTRE = 92;
constexpr UINT IDS_PREFIX = 125, IDS_FIELD = 126, IDS_SUFFIX = 127;
constexpr UINT IDS_APP_TITLE = 57344;
constexpr UINT MB_ICONEXCLAMATION = MB_ICONWARNING;

const char16_t* const kEscapes[] = {u"<CRLF>", u"<CR>", u"<LF>", u"<TAB>"};

CString Str(UINT id)
{
    return CResourceModule::Get().LoadString(id);
}

int CurrentData(QComboBox* combo)
{
    return combo && combo->currentIndex() >= 0 ? combo->currentData().toInt() : -1;
}

}  // namespace

// --- CFieldSelGridCtrl ------------------------------------------------------------------------

CFieldSelGridCtrl::CFieldSelGridCtrl(QWidget* parent) : QTableWidget(0, 3, parent)
{
    setHorizontalHeaderLabels({Str(IDS_PREFIX), Str(IDS_FIELD), Str(IDS_SUFFIX)});
    const int widths[] = {50, 120, 50};
    for (int c = 0; c < 3; ++c)
        setColumnWidth(c, widths[c]);
    verticalHeader()->hide();
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    // Tab leaves the grid like any other control; the arrow keys move between its cells.
    setTabKeyNavigation(false);
}

namespace {
// What the middle cell of a row keeps of its item besides its caption.
constexpr int kTableRole = Qt::UserRole, kFieldRole = Qt::UserRole + 1, kIndexRole = Qt::UserRole + 2;
}  // namespace

void CFieldSelGridCtrl::AddRow(const CDataItemRow& row)
{
    const int r = rowCount();
    insertRow(r);
    const CString texts[] = {row.item.prefix, row.Caption(), row.item.suffix};
    for (int c = 0; c < 3; ++c) {
        auto* cell = new QTableWidgetItem(texts[c]);
        Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
        if (row.Known() && c != 1)
            flags |= Qt::ItemIsEditable;
        cell->setFlags(flags);
        if (!row.Known())
            cell->setForeground(palette().brush(QPalette::Disabled, QPalette::Text));
        setItem(r, c, cell);
    }
    item(r, 1)->setData(kTableRole, row.item.table);
    item(r, 1)->setData(kFieldRole, row.item.field);
    item(r, 1)->setData(kIndexRole, row.fieldIndex);
}

std::vector<CDataItemRow> CFieldSelGridCtrl::Rows() const
{
    std::vector<CDataItemRow> rows;
    for (int r = 0; r < rowCount(); ++r) {
        const QTableWidgetItem* middle = item(r, 1);
        rows.push_back({{middle->data(kTableRole).toString(), middle->data(kFieldRole).toString(),
                         item(r, 0)->text(), item(r, 2)->text()},
                        middle->data(kIndexRole).toInt()});
    }
    return rows;
}

int CFieldSelGridCtrl::SelectedRow() const
{
    const QList<QTableWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? -1 : selected.front()->row();
}

// --- CDataSourceDlg ---------------------------------------------------------------------------

CDataSourceDlg::CDataSourceDlg(CContentPageData* data, QWidget* parent)
    : CPropertyPage(IDD, {}, parent), m_data(data), m_edit(data->tables)
{
    ApplyDialogLayout(this, CResourceModule::Get().LoadDialogLayout(IDD));
    SetCaption(windowTitle());
}

CDataSourceDlg::~CDataSourceDlg() = default;

bool CDataSourceDlg::IsBarcode() const
{
    return dynamic_cast<CDrawBarcode*>(m_data->object) != nullptr;
}

CString CDataSourceDlg::Text()
{
    // Line breaks are stored as carriage return and line feed.
    CString text = GetDlgItemText(this, IDC_TEXT);
    if (qobject_cast<QPlainTextEdit*>(GetDlgItem(this, IDC_TEXT)))
        text.replace(u'\n', QStringLiteral("\r\n"));
    return text;
}

void CDataSourceDlg::SetText(const CString& text)
{
    CString shown = text;
    if (qobject_cast<QPlainTextEdit*>(GetDlgItem(this, IDC_TEXT)))
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    SetDlgItemText(this, IDC_TEXT, shown);
}

BOOL CDataSourceDlg::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    m_loading = true;

    // The text: several lines for a text object, Enter adding a line; one line for a barcode,
    // where Enter confirms the sheet.
    if (!m_data->multiLine)
        if (auto* multi = GetDlgItem<QPlainTextEdit>(this, IDC_TEXT))
            ReplaceDlgControl(multi, new QLineEdit);
    SetText(m_data->text);
    SetDlgItemText(this, IDC_NAME, m_data->name);
    if (auto* e = GetDlgItem<QPlainTextEdit>(this, IDC_TEXT))
        connect(e, &QPlainTextEdit::textChanged, this, [this] { SetModified(TRUE); });
    if (auto* e = GetDlgItem<QLineEdit>(this, IDC_TEXT))
        connect(e, &QLineEdit::textChanged, this, [this] { SetModified(TRUE); });

    auto* mode = GetDlgItem<QComboBox>(this, IDC_MODE);
    auto* align = GetDlgItem<QComboBox>(this, IDC_ALIGN);
    mode->clear();
    mode->addItem(Str(IDS_FIXED), CONTENT_FIXED);
    mode->addItem(Str(IDS_SERIAL), CONTENT_SERIAL);
    mode->addItem(Str(IDS_DATABASE), CONTENT_DATA);
    mode->setCurrentIndex(-1);
    for (int id : {IDC_PREFIX, IDC_SUFFIX}) {
        auto* c = GetDlgItem<QComboBox>(this, id);
        c->clear();
        for (const char16_t* e : kEscapes)
            c->addItem(QString::fromUtf16(e));
        c->setCurrentIndex(-1);
        c->setEditText({});
    }
    align->clear();
    align->addItem(Str(IDS_LEFT), ALIGN_LEFT);
    align->addItem(Str(IDS_CENTRE), ALIGN_CENTRE);
    align->addItem(Str(IDS_RIGHT), ALIGN_RIGHT);

    // The grid in place of its placeholder.
    if (QWidget* placeholder = GetDlgItem(this, IDC_GRID)) {
        m_grid = new CFieldSelGridCtrl;
        ReplaceDlgControl(placeholder, m_grid);
    }

    m_upDown = GetDlgItem<QScrollBar>(this, IDC_UPDOWN);
    if (m_upDown) {
        AttachUpDown(m_upDown, GetDlgItem(this, IDC_WIDTH));
        m_upDown->setRange(-32767, 32767);
        m_upDown->setSingleStep(1);
        m_upDown->setPageStep(1);
        m_upDown->setValue(0);
        connect(m_upDown, &QScrollBar::actionTriggered, this, [this](int) { OnUpDown(); });
    }

    // The content block.
    const CContentBlock& block = m_data->object->Content();
    mode->setCurrentIndex(mode->findData(block.mode));
    ShowSerialGroup(false);
    ShowDatabaseGroup(false);
    GetDlgItem(this, IDC_TEXT)->setEnabled(block.mode != CONTENT_DATA);
    if (block.mode == CONTENT_SERIAL) {
        ShowSerialGroup(true);
        SetDlgItemText(this, IDC_REPEAT, QString::number(block.repeat));
        SetDlgItemText(this, IDC_STEP, QString::number(block.step));
        GetDlgItem<QRadioButton>(this, IDC_UP)->setChecked(block.direction == 0);
        GetDlgItem<QRadioButton>(this, IDC_DOWN)->setChecked(block.direction != 0);
    } else if (block.mode == CONTENT_DATA) {
        ShowDatabaseGroup(true);
    }
    // Prefix and suffix are loaded in every mode, so that Apply gives them back unchanged.
    GetDlgItem<QComboBox>(this, IDC_PREFIX)->setEditText(block.prefix);
    GetDlgItem<QComboBox>(this, IDC_SUFFIX)->setEditText(block.suffix);
    align->setCurrentIndex(align->findData(block.alignment));

    const CRect& r = m_data->object->m_position;
    SetDlgItemText(this, IDC_WIDTH, MillimetresText(double(qint64(r.right) - r.left)));
    m_shownHeight = MillimetresText(double(qint64(r.bottom) - r.top));
    SetDlgItemText(this, IDC_HEIGHT, m_shownHeight);

    for (const CDataItemRow& row : m_edit.Rows(block))
        m_grid->AddRow(row);

    connect(mode, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_loading)
            OnModeChange();
    });
    auto* fields = GetDlgItem<QComboBox>(this, IDC_FIELDS);
    connect(fields, &QComboBox::currentIndexChanged, this, [this, fields](int i) {
        if (i >= 0)
            m_fieldName = fields->itemText(i);
    });
    connect(GetDlgItem<QAbstractButton>(this, IDC_ADD), &QAbstractButton::clicked, this, &CDataSourceDlg::OnAddItem);
    connect(GetDlgItem<QAbstractButton>(this, IDC_REMOVE), &QAbstractButton::clicked, this,
            &CDataSourceDlg::OnRemoveItem);
    m_loading = false;
    return TRUE;
}

void CDataSourceDlg::ShowSerialGroup(bool show)
{
    for (int id : kSerialGroup)
        if (QWidget* w = GetDlgItem(this, id))
            w->setVisible(show);
    SetDlgItemText(this, IDC_STEP, QStringLiteral("1"));
    SetDlgItemText(this, IDC_REPEAT, QStringLiteral("1"));
    GetDlgItem<QRadioButton>(this, IDC_UP)->setChecked(true);
}

void CDataSourceDlg::ShowDatabaseGroup(bool show)
{
    for (int id : kDatabaseGroup)
        if (QWidget* w = GetDlgItem(this, id))
            w->setVisible(show);
    if (!show)
        return;
    auto* fields = GetDlgItem<QComboBox>(this, IDC_FIELDS);
    const QSignalBlocker quiet(fields);
    fields->clear();
    for (const CString& f : m_edit.Fields())
        fields->addItem(f);
    fields->setCurrentIndex(-1);
}

void CDataSourceDlg::OnModeChange()
{
    const int mode = CurrentData(GetDlgItem<QComboBox>(this, IDC_MODE));
    ShowSerialGroup(false);
    ShowDatabaseGroup(false);
    GetDlgItem(this, IDC_TEXT)->setEnabled(mode != CONTENT_DATA);
    if (mode == CONTENT_SERIAL)
        ShowSerialGroup(true);
    else if (mode == CONTENT_DATA)
        ShowDatabaseGroup(true);
}

void CDataSourceDlg::OnAddItem()
{
    auto* fields = GetDlgItem<QComboBox>(this, IDC_FIELDS);
    const int index = fields->currentIndex();
    if (index < 0) {
        MessageBox(this, Str(m_edit.NoFieldMessage()), {}, MB_OK | MB_ICONEXCLAMATION);
        fields->setFocus();
        return;
    }
    m_grid->AddRow(m_edit.NewRow(index, GetDlgItem<QComboBox>(this, IDC_PREFIX)->currentText(),
                                 GetDlgItem<QComboBox>(this, IDC_SUFFIX)->currentText()));
}

void CDataSourceDlg::OnRemoveItem()
{
    if (const int r = m_grid->SelectedRow(); r >= 0)
        m_grid->removeRow(r);
}

void CDataSourceDlg::OnUpDown()
{
    // A scroll bar counts downwards: the up arrow asks for +1.
    const int p = m_upDown->value();
    const int d = p - m_upDown->sliderPosition();
    auto* code = dynamic_cast<CDrawBarcode*>(m_data->object);
    if (!code || !code->GetBarcode()) {
        m_upDown->setSliderPosition(p + d);
        return;
    }
    CDrawViewBase* view = code->GetView();
    std::unique_ptr<CDC> dc = view ? view->CreateClientDC() : nullptr;
    const CString text = code->GetDrawString(dc.get(), 0);
    auto widthMm = [&](double module) {
        return double(code->SymbolRectWithModule(dc.get(), float(module), text).Width()) / 1536.0 * 25.4;
    };
    const CModuleWidthStep steps(code->GetBarcode()->GetModuleWidth(), widthMm);
    const int k = steps.Step(p, d);
    m_upDown->setSliderPosition(p + k);
    if (k != 0)
        SetDlgItemText(this, IDC_WIDTH, QString::number(widthMm(steps.ModuleAt(p + k)), 'f', 2));
}

void CDataSourceDlg::Refuse(UINT message, const CString& title, int control)
{
    MessageBox(this, Str(message), title, MB_OK | MB_ICONEXCLAMATION);
    QWidget* w = GetDlgItem(this, control);
    if (!w)
        return;
    w->setFocus();
    if (auto* e = qobject_cast<QLineEdit*>(w))
        e->selectAll();
    else if (auto* t = qobject_cast<QPlainTextEdit*>(w)) {
        t->selectAll();
        t->ensureCursorVisible();
    }
}

BOOL CDataSourceDlg::OnApply()
{
    CDataSourceInput input;
    input.mode = CurrentData(GetDlgItem<QComboBox>(this, IDC_MODE));
    input.alignment = CurrentData(GetDlgItem<QComboBox>(this, IDC_ALIGN));
    input.text = Text();
    input.step = GetDlgItemText(this, IDC_STEP);
    input.repeat = GetDlgItemText(this, IDC_REPEAT);
    if (GetDlgItem<QRadioButton>(this, IDC_UP)->isChecked())
        input.direction = 0;
    else if (GetDlgItem<QRadioButton>(this, IDC_DOWN)->isChecked())
        input.direction = 1;
    input.prefix = GetDlgItem<QComboBox>(this, IDC_PREFIX)->currentText();
    input.suffix = GetDlgItem<QComboBox>(this, IDC_SUFFIX)->currentText();
    input.rows = m_grid->Rows();

    if (const CDataSourceRefusal refused = m_edit.Apply(input, m_data->object->Content())) {
        Refuse(refused.message, Str(IDS_APP_TITLE), refused.control);
        return FALSE;
    }
    m_data->text = input.text;
    m_data->name = GetDlgItemText(this, IDC_NAME);

    if (auto* code = dynamic_cast<CDrawBarcode*>(m_data->object)) {
        CDrawViewBase* view = code->GetView();
        std::unique_ptr<CDC> dc = view ? view->CreateClientDC() : nullptr;
        // The height is taken only when the user typed another one: the text shown is rounded.
        const CString height = GetDlgItemText(this, IDC_HEIGHT);
        const double typed = Wtof(height);
        ApplyBarcodeSizes(*code, dc.get(), m_upDown ? m_upDown->value() : 0,
                          height != m_shownHeight ? &typed : nullptr);
    }
    return CPropertyPage::OnApply();
}
