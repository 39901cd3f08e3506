#include "objects/drawole.h"

#include "document/drawdoc.h"
#include "framework/archive.h"

IMPLEMENT_SERIAL(CDrawItem, CObject, 0)
IMPLEMENT_SERIAL(CDrawOleObj, CDrawObj, VERSIONABLE_SCHEMA | 1)

BOOL CDrawOleObj::c_bShowItems = TRUE;

// ---------------------------------------------------------------------------------------------
// CDrawItem

CDrawItem::~CDrawItem()
{
    if (m_pDrawObj)
        m_pDrawObj->m_pItem = nullptr;
}

void CDrawItem::CopyContents(const CStorage& from, CStorage& to)
{
    to.SetClassId(from.GetClassId());
    for (const QString& name : from.GetStreamNames())
        to.WriteStream(name, *from.OpenStream(name));
    for (const QString& name : from.GetStorageNames())
        to.CopyStorage(*from.OpenStorage(name));
}

QString CDrawItem::StorageName(DWORD itemNumber)
{
    return QStringLiteral("Embedding %1").arg(itemNumber);
}

void CDrawItem::Serialize(CArchive& ar)
{
    CObject::Serialize(ar);
    auto* doc = dynamic_cast<CDrawDoc*>(ar.m_pDocument);
    if (ar.IsStoring()) {
        ar << m_dwItemNumber << m_nDrawAspect;
        if (CStorage* root = doc ? doc->GetStoreStorage() : nullptr) {
            if (CStorage* sub = root->CreateStorage(StorageName(m_dwItemNumber)))
                CopyContents(m_storage, *sub);
        }
    } else {
        ar >> m_dwItemNumber >> m_nDrawAspect;
        // An item whose storage is missing keeps no data and still shows its placeholder.
        const CStorage* root = doc ? doc->GetLoadStorage() : nullptr;
        if (const CStorage* sub = root ? root->OpenStorage(StorageName(m_dwItemNumber)) : nullptr)
            CopyContents(*sub, m_storage);
    }
}

// ---------------------------------------------------------------------------------------------
// CDrawOleObj

CDrawOleObj::CDrawOleObj() = default;

CDrawOleObj::CDrawOleObj(const CRect& position) : CDrawObj(position) {}

CDrawOleObj::~CDrawOleObj()
{
    if (CDrawItem* item = m_pItem) {
        item->m_pDrawObj = nullptr;
        m_pItem = nullptr;
        if (m_pDocument)
            m_pDocument->RemoveItem(item);
        delete item;
    }
}

void CDrawOleObj::Serialize(CArchive& ar)
{
    CDrawObj::Serialize(ar);
    if (ar.IsStoring()) {
        ar.SerializeClass(RUNTIME_CLASS(CDrawOleObj));
        ar << m_extent;
        ar.WriteObject(m_pItem);
    } else {
        const UINT schema = ReadLevelClass(ar, RUNTIME_CLASS(CDrawOleObj));
        ar >> m_extent;
        auto* item = static_cast<CDrawItem*>(ar.ReadObject(RUNTIME_CLASS(CDrawItem)));
        // An item belongs to one object: a second reference to it would free it twice.
        if (item && item->m_pDrawObj)
            throw CArchiveException(CArchiveException::badIndex,
                                    "an embedded item is referred to by two objects");
        if (item) {
            item->m_pDrawObj = this;
            m_pItem = item;
            if (m_pDocument)
                m_pDocument->AddItem(item);
        }
        ar.SetObjectSchema(schema);
    }
}

void CDrawOleObj::Draw(CDC* dc, int labelIndex)
{
    // The item's own presentation cannot be had here: a crossed frame stands in for it.
    CPen pen(PS_SOLID, 0, RGB(128, 128, 128));
    CGdiObject* oldPen = dc->SelectObject(&pen);
    CGdiObject* oldBrush = dc->SelectStockObject(NULL_BRUSH);
    dc->Rectangle(&m_position);
    dc->MoveTo(m_position.left, m_position.top);
    dc->LineTo(m_position.right, m_position.bottom);
    dc->MoveTo(m_position.left, m_position.bottom);
    dc->LineTo(m_position.right, m_position.top);
    dc->SelectObject(oldBrush);
    dc->SelectObject(oldPen);

    if (!dc->IsPrinting() && c_bShowItems) {
        // The item frame, in device pixels so that it keeps its width at every zoom.
        CRect r = m_position;
        dc->LPtoDP(&r);
        const int saved = dc->SaveDC();
        dc->SetMapMode(MM_TEXT);
        dc->SetWindowOrg(0, 0);
        dc->SetViewportOrg(0, 0);
        CPen frame(PS_SOLID, 1, RGB(0, 0, 0));
        dc->SelectObject(&frame);
        dc->SelectStockObject(NULL_BRUSH);
        dc->Rectangle(&r);
        dc->RestoreDC(saved);
    }
}

CDrawObj* CDrawOleObj::Clone(CDrawDoc* doc)
{
    auto* clone = new CDrawOleObj(m_position);
    CopyBaseTo(clone);
    clone->m_extent = m_extent;
    if (m_pItem) {
        auto* item = new CDrawItem;
        item->m_nDrawAspect = m_pItem->m_nDrawAspect;
        item->m_storage = m_pItem->m_storage;
        item->m_pDrawObj = clone;
        clone->m_pItem = item;
    }
    // Adding the object to a document registers its item there under a number of its own.
    if (doc)
        doc->Add(clone);
    return clone;
}
