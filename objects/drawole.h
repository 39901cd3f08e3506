#pragma once
// Embedded objects of other programs. They cannot be activated here: an object keeps its stored
// extent and its item's data byte for byte, writes them back unchanged, and shows a framed
// placeholder on the label.
//
// An item's data is the sub-storage "Embedding <n>" of the document's root storage, where n is
// the item number that the item's record holds. The item record (schema 0) is the item number
// and the drawing aspect, both DWORDs.

#include "framework/compoundfile.h"
#include "objects/drawobj.h"

class CDrawOleObj;

class CDrawItem : public CObject {
    DECLARE_SERIAL(CDrawItem)
public:
    CDrawItem() = default;
    ~CDrawItem() override;

    void Serialize(CArchive& ar) override;

    static QString StorageName(DWORD itemNumber);
    // Copies the streams, sub-storages and class id of `from` into `to`, which keeps its name.
    static void CopyContents(const CStorage& from, CStorage& to);

    CDrawOleObj* m_pDrawObj = nullptr;  // the owner
    DWORD m_dwItemNumber = 0;
    DWORD m_nDrawAspect = 1;            // the content aspect
    CStorage m_storage;                 // the item's data, as read from its sub-storage
};

class CDrawOleObj : public CDrawObj {
    DECLARE_SERIAL(CDrawOleObj)
protected:
    CDrawOleObj();

public:
    explicit CDrawOleObj(const CRect& position);
    ~CDrawOleObj() override;

    void Serialize(CArchive& ar) override;
    void Draw(CDC* dc, int labelIndex) override;
    CDrawObj* Clone(CDrawDoc* doc = nullptr) override;

    // Whether frames are drawn around embedded objects on screen; shared by all objects.
    static BOOL c_bShowItems;

    CDrawItem* m_pItem = nullptr;  // owned
    CSize m_extent;                // the item's extent in 0.01 mm, (0, 0) until known
};
