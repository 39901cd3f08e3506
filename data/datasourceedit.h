#pragma once
// What the data-source page of a text or barcode object decides, without its widgets: the fields
// it offers, the rows of its data-item grid, the checks of Apply and what Apply stores in the
// object's content block; the module-width steps of a barcode's up-down control; and the
// barcode sizes Apply sets.

#include "framework/types.h"
#include "objects/xmlhelper.h"

#include <QHash>
#include <functional>
#include <map>
#include <vector>

class CDC;
class CDrawBarcode;

// One row of the data-item grid.
struct CDataItemRow {
    CDataItem item;
    // Index of the item's field in the field list; -1 when the list does not hold it: such an
    // item is shown as stored and written back unchanged.
    int fieldIndex = -1;

    bool Known() const { return fieldIndex >= 0; }
    // The middle column: table, a full stop and field.
    CString Caption() const { return item.table + u'.' + item.field; }
};

// The page's controls when the user applies it.
struct CDataSourceInput {
    int mode = -1;       // item data of the chosen content mode; -1 when none is chosen
    int alignment = -1;  // item data of the chosen alignment; -1 when none is chosen
    CString text;
    CString step;
    CString repeat;
    int direction = -1;  // 0 count up checked, 1 count down checked, -1 neither
    CString prefix;
    CString suffix;
    std::vector<CDataItemRow> rows;
};

// A refused Apply: the message to show and the control that gets the focus.
struct CDataSourceRefusal {
    UINT message = 0;
    int control = 0;
    explicit operator bool() const { return message != 0; }
};

class CDataSourceEdit {
public:
    using Tables = std::map<CString, std::vector<CString>>;

    // The fields offered are those of the first table (in key order) of the map; none without one.
    explicit CDataSourceEdit(const Tables* tables);

    const CString& Table() const { return m_table; }
    const std::vector<CString>& Fields() const { return m_fields; }
    // The index of the field in the list, compared without regard to case; -1 when missing.
    int FindField(const CString& field) const;

    // The grid of a stored binding, one row per item in stored order.
    std::vector<CDataItemRow> Rows(const CContentBlock& block) const;
    // The row Add makes for the field of the list at the index.
    CDataItemRow NewRow(int fieldIndex, const CString& prefix, const CString& suffix) const;
    // The message when a data item is wanted and no field is chosen: 19 when there are fields to
    // choose from, 18 when there are none.
    UINT NoFieldMessage() const { return m_fields.empty() ? 18 : 19; }

    // Checks everything Apply would store; the first refusal, or none.
    CDataSourceRefusal Check(const CDataSourceInput& input, const CContentBlock& block) const;
    // Checks, and only when nothing is refused stores the input in the block: the mode (the
    // block's own when none is chosen), the alignment (likewise), the serial settings, and in
    // mode 2 the data items of the rows (the binding gets a database element when it has none).
    // A binding that cannot take the items refuses with string 640, the grid focused.
    CDataSourceRefusal Apply(const CDataSourceInput& input, CContentBlock& block) const;

private:
    CString m_table;
    std::vector<CString> m_fields;
    // Each field's case-folded name to the index of its first field in the list.
    QHash<CString, int> m_index;
};

// The module-width steps of a barcode's up-down control. Position p stands for the module width
// w0 + p x 0.0001 inch; each click moves to the next module width that changes the symbol's
// width, never to one of 0.006 inch or less, never past 1 inch.
class CModuleWidthStep {
public:
    static constexpr double kStep = 0.0001;
    static constexpr float kMinModule = 0.006f;  // a module width must stay above it
    static constexpr float kMaxModule = 1.0f;    // and may reach it, not pass it

    // widthMm(w): the symbol's width in millimetres at module width w inches.
    CModuleWidthStep(double w0, std::function<double(double)> widthMm);

    double ModuleAt(int position) const { return m_w0 + position * kStep; }
    // The change that replaces the requested change d at position p; 0 when it is refused (or d
    // is 0).
    int Step(int p, int d) const;

private:
    double m_w0;
    std::function<double(double)> m_widthMm;
};

// The barcode sizes of Apply: the module width moves by the up-down's position; when a new
// height was typed (millimetres), the bar height becomes that height less the human-readable
// line, at least 0.1 inch. The line is measured on the DC in the object's font at 100 % zoom.
// The object's box follows the symbol.
void ApplyBarcodeSizes(CDrawBarcode& code, CDC* dc, int upDownPosition, const double* typedHeightMm);
