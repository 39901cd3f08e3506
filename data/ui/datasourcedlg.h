#pragma once
// The data-source page of text and barcode objects: fixed text, serial number or database
// fields, the alignment of the lines, the data items that bind the object, and for barcodes the
// module width and the height. The decisions are CDataSourceEdit's; this page moves them
// between the controls and the object.

#include "data/datasourceedit.h"
#include "framework/ui/propertysheet.h"
#include "objects/objectsheet.h"

#include <QTableWidget>

class QComboBox;
class QScrollBar;

// The data-item grid: prefix, "table.field" and suffix of each item. Only the prefix and suffix
// of a field the list offers can be edited; an item whose field is not offered is shown greyed
// and kept as stored.
class CFieldSelGridCtrl : public QTableWidget
{
    Q_OBJECT
public:
    explicit CFieldSelGridCtrl(QWidget* parent = nullptr);

    void AddRow(const CDataItemRow& row);
    // The rows with the prefix and suffix as edited.
    std::vector<CDataItemRow> Rows() const;
    // The selected row, or -1.
    int SelectedRow() const;
};

class CDataSourceDlg : public CPropertyPage
{
    Q_OBJECT
public:
    static constexpr UINT IDD = 107;

    explicit CDataSourceDlg(CContentPageData* data, QWidget* parent = nullptr);
    ~CDataSourceDlg() override;

    BOOL OnInitDialog() override;
    BOOL OnApply() override;

    CFieldSelGridCtrl* Grid() const { return m_grid; }

private:
    bool IsBarcode() const;
    void ShowSerialGroup(bool show);
    void ShowDatabaseGroup(bool show);
    void OnModeChange();
    void OnAddItem();
    void OnRemoveItem();
    void OnUpDown();
    void Refuse(UINT message, const CString& title, int control);
    CString Text();
    void SetText(const CString& text);

    CContentPageData* m_data;
    CDataSourceEdit m_edit;
    CFieldSelGridCtrl* m_grid = nullptr;
    QScrollBar* m_upDown = nullptr;
    CString m_fieldName;    // the field last chosen in the list
    CString m_shownHeight;  // the height as shown, to tell whether the user typed another
    bool m_loading = false;
};
