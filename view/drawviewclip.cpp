// The editing view's clipboard: cut, copy and paste of label objects in the private format.
//
// The private format holds the selection archived exactly as the document archives its object
// list. The data of embedded objects lives in the document's storages, not in the list, so it
// travels in a second format of the same clipboard data: a compound file whose sub-storage
// "Embedding <i>" holds the data of the i-th object of the list.

#include "view/drawview.h"

#include "document/drawdoc.h"
#include "framework/compoundfile.h"
#include "framework/ui/messagebox.h"
#include "objects/drawobj.h"
#include "objects/drawole.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

#include <exception>

namespace {

constexpr UINT kStrInsertFailed = 102;
constexpr int kPasteOffset = 60;

bool g_clipboardWatched = false;
bool g_clipboardHasObjects = false;

bool ClipboardHoldsObjects()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasFormat(CDrawView::ClipboardFormat());
}

}  // namespace

void CDrawView::WatchClipboard()
{
    // The clipboard announces every change, so updates need not ask its owner each time.
    if (g_clipboardWatched)
        return;
    g_clipboardWatched = true;
    QClipboard* clipboard = QGuiApplication::clipboard();
    g_clipboardHasObjects = ClipboardHoldsObjects();
    QObject::connect(clipboard, &QClipboard::dataChanged, qApp,
                     [] { g_clipboardHasObjects = ClipboardHoldsObjects(); });
}

BOOL CDrawView::CanPaste()
{
    return g_clipboardHasObjects;
}

void CDrawView::OnEditCopy()
{
    CDrawDoc* doc = GetDocument();
    if (!doc || m_selection.empty())
        return;
    auto data = std::make_unique<QMimeData>();
    data->setData(ClipboardFormat(), doc->StoreObjectList(m_selection));
    CCompoundFile items;
    bool anyItem = false;
    for (size_t i = 0; i < m_selection.size(); ++i) {
        const auto* ole = dynamic_cast<const CDrawOleObj*>(m_selection[i]);
        if (!ole || !ole->m_pItem)
            continue;
        if (CStorage* sub = items.GetRoot().CreateStorage(CDrawItem::StorageName(DWORD(i)))) {
            CDrawItem::CopyContents(ole->m_pItem->m_storage, *sub);
            anyItem = true;
        }
    }
    QString error;
    if (anyItem)
        if (const std::optional<QByteArray> bytes = items.SaveToMemory(error))
            data->setData(ClipboardItemsFormat(), *bytes);
    QGuiApplication::clipboard()->setMimeData(data.release());
}

void CDrawView::OnEditCut()
{
    OnEditCopy();
    OnEditClear();
}

void CDrawView::OnEditPaste()
{
    CDrawDoc* doc = GetDocument();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!doc || !data || !data->hasFormat(ClipboardFormat()))
        return;
    const QByteArray payload = data->data(ClipboardFormat());
    CCompoundFile items;
    QString error;
    const bool haveItems = data->hasFormat(ClipboardItemsFormat())
                           && items.LoadFromMemory(data->data(ClipboardItemsFormat()), error);

    InvalidateSelection();
    m_selection.clear();
    std::vector<CDrawObj*> pasted;
    try {
        pasted = doc->LoadObjectList(payload);
    } catch (const std::exception&) {
        // Any program may offer data under the format: what it held is gone again.
        AfxMessageBox(kStrInsertFailed, MB_OK, this);
        return;
    }
    for (size_t i = 0; i < pasted.size(); ++i) {
        CDrawObj* obj = pasted[i];
        if (auto* ole = dynamic_cast<CDrawOleObj*>(obj); ole && ole->m_pItem) {
            // A storage of its own: the copied object keeps its name of the source.
            CDrawItem* item = ole->m_pItem;
            doc->RemoveItem(item);
            item->m_dwItemNumber = doc->NextItemNumber();
            if (const CStorage* sub = haveItems ? items.GetRoot().OpenStorage(CDrawItem::StorageName(DWORD(i))) : nullptr)
                CDrawItem::CopyContents(*sub, item->m_storage);
        }
        CRect r = obj->m_position;
        r.OffsetRect(kPasteOffset, kPasteOffset);
        obj->MoveTo(r, this);
        // Adding selects shapes already; the selection holds each object once.
        AddObject(obj);
        Select(obj, TRUE);
    }
    // The next paste lands another step further.
    OnEditCopy();
    doc->SetModifiedFlag(TRUE);
    CDrawObjList list;
    list.objects = m_selection;
    doc->UpdateAllViews(nullptr, kHintSelection, &list);
}
