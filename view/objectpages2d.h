#pragma once
// The property pages of the QR Code, PDF417 and Data Matrix objects. Each page works on the
// data its object hands it: it fills its lists from that data when the sheet first shows it,
// and every change of a list (or a step of an up-down beside one) reads the lists back into it.

#include "framework/ui/propertysheet.h"
#include "objects/objectsheet.h"

#include <functional>
#include <vector>

class QComboBox;
class QScrollBar;

// The up-down control beside a list: a vertical scroll bar whose up arrow (and Up key) selects
// the next item and whose down arrow the item before. The list's selection and the up-down's
// position stay in step both ways; `changed` runs after either moved.
class CListUpDown : public QObject
{
    Q_OBJECT
public:
    CListUpDown(QComboBox* list, QScrollBar* upDown, std::function<void()> changed, QObject* parent);

    // Takes the list's item count as the range and its selection as the position.
    void Sync();

private:
    void Step();

    QComboBox* m_list;
    QScrollBar* m_upDown;
    std::function<void()> m_changed;
    bool m_syncing = false;
};

class CQRCodePropPage : public CPropertyPage
{
    Q_OBJECT
public:
    explicit CQRCodePropPage(CQRCodePageData* data, QWidget* parent = nullptr);

    BOOL OnInitDialog() override;
    void OnOK() override { Apply(); }
    // The page's values from its lists.
    void Apply();

private:
    CQRCodePageData* m_data;
    CListUpDown* m_sizeUpDown = nullptr;
};

class CPDF417PropPage : public CPropertyPage
{
    Q_OBJECT
public:
    explicit CPDF417PropPage(CPDF417PageData* data, QWidget* parent = nullptr);

    BOOL OnInitDialog() override;
    void OnOK() override { Apply(); }
    void Apply();

private:
    CPDF417PageData* m_data;
    std::vector<CListUpDown*> m_upDowns;
};

class CDataMatrixPropPage : public CPropertyPage
{
    Q_OBJECT
public:
    explicit CDataMatrixPropPage(CDataMatrixPageData* data, QWidget* parent = nullptr);

    BOOL OnInitDialog() override;
    void OnOK() override { Apply(); }
    void Apply();

private:
    CDataMatrixPageData* m_data;
    CListUpDown* m_sizeUpDown = nullptr;
};
