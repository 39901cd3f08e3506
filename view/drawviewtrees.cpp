// The editing view's trees in the docking bars (objects by kind, data source) and the drops of
// palette entries dragged from them onto the label.

#include "view/drawview.h"

#include "data/barcodedb.h"
#include "data/ui/dbsetupwizard.h"
#include "document/drawdoc.h"
#include "framework/resourcemanager.h"
#include "framework/resourcemodule.h"
#include "framework/ui/dialogids.h"
#include "framework/ui/messagebox.h"
#include "objects/drawobj.h"
#include "view/compitem.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimerEvent>
#include <QTreeWidget>

#include <cstring>

namespace {

// String ids of the trees.
constexpr UINT kStrTextGroup = 27;
constexpr UINT kStrBarcodeGroup = 28;
constexpr UINT kStrNoDataSource = 29;
constexpr UINT kStrObjects = 34;
constexpr UINT kStrDataFile = 30;
constexpr UINT kStrCannotOpen = 94;
constexpr UINT kStrAppTitle = 57344;
// Pictures of the database tree (bitmap 162).
constexpr int kImageSource = 0;
constexpr int kImageFailed = 1;
constexpr int kImageTable = 2;
constexpr int kImageField = 3;
constexpr int kImageNoSource = 4;
// The longest message the tree shows of a failure.
constexpr int kMaxMessage = 1024;

bool HasClassNamed(const CObject* obj, std::initializer_list<const char*> names)
{
    for (const CRuntimeClass* cls = obj ? obj->GetRuntimeClass() : nullptr; cls;
         cls = cls->m_pBaseClass)
        for (const char* name : names)
            if (std::strcmp(cls->m_lpszClassName, name) == 0)
                return true;
    return false;
}

bool IsCodeObject(const CObject* obj)
{
    return HasClassNamed(obj, {"CDrawBarcode", "CDrawQRCode", "CDrawPDF417", "CDrawDataMatrix"});
}

bool IsTextObject(const CObject* obj)
{
    return HasClassNamed(obj, {"CDrawText"});
}

CString String(UINT id)
{
    return CResourceModule::Get().LoadString(id);
}

CDrawObj* ObjectOf(const QTreeWidgetItem* item)
{
    return item ? reinterpret_cast<CDrawObj*>(item->data(0, Qt::UserRole).value<quintptr>())
                : nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Trees

void CDrawView::SetTrees(QTreeWidget* objectTree, QTreeWidget* databaseTree)
{
    m_pObjectTree = objectTree;
    m_pDatabaseTree = databaseTree;
    m_pTextGroup = m_pBarcodeGroup = m_pDatabaseRoot = nullptr;
}

void CDrawView::FillTrees(QStringList* problems)
{
    m_pTextGroup = m_pBarcodeGroup = m_pDatabaseRoot = nullptr;
    if (m_pObjectTree) {
        m_pObjectTree->clear();
        auto* root = new QTreeWidgetItem(m_pObjectTree, QStringList(String(kStrObjects)));
        m_pTextGroup = new QTreeWidgetItem(root, QStringList(String(kStrTextGroup)));
        m_pBarcodeGroup = new QTreeWidgetItem(root, QStringList(String(kStrBarcodeGroup)));
        root->setExpanded(true);
    }
    FillDatabaseTree(problems);
    UpdateGroupCaption(m_pTextGroup);
    UpdateGroupCaption(m_pBarcodeGroup);
}

void CDrawView::UpdateGroupCaption(QTreeWidgetItem* group)
{
    if (!group)
        return;
    const CString caption = String(group == m_pBarcodeGroup ? kStrBarcodeGroup : kStrTextGroup);
    group->setText(0, QStringLiteral("%1 (%2)").arg(caption).arg(group->childCount()));
}

QTreeWidgetItem* CDrawView::ListInObjectTree(const std::vector<CDrawObj*>& objects)
{
    if (!m_pObjectTree || !m_pTextGroup || !m_pBarcodeGroup)
        return nullptr;
    // The items go in by group, in one insertion each, and each caption is set once: an item
    // inserted, a caption changed or an item made current costs the tree a pass over every
    // item it lists, so doing it per object makes a large label take the square of its size.
    QList<QTreeWidgetItem*> texts, codes;
    QTreeWidgetItem* last = nullptr;
    for (CDrawObj* obj : objects) {
        const bool code = IsCodeObject(obj);
        if (!code && !IsTextObject(obj))
            continue;
        last = new QTreeWidgetItem(QStringList(obj->GetName()));
        last->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(obj)));
        (code ? codes : texts).append(last);
    }
    const QSignalBlocker block(m_pObjectTree);
    for (auto [group, items] : {std::pair {m_pTextGroup, &texts}, std::pair {m_pBarcodeGroup, &codes}}) {
        if (items->isEmpty())
            continue;
        group->addChildren(*items);
        // A group that gets an item opens, so that the item shows.
        group->setExpanded(true);
        UpdateGroupCaption(group);
    }
    return last;
}

void CDrawView::MakeCurrentInTree(QTreeWidgetItem* item)
{
    const QSignalBlocker block(m_pObjectTree);
    m_pObjectTree->setCurrentItem(item);
}

void CDrawView::FillObjectTree(CDrawObj* obj)
{
    if (!IsCodeObject(obj) && !IsTextObject(obj)) {
        // Shapes, polygons, pictures and embedded objects are not listed; they are selected.
        Select(obj, TRUE);
        return;
    }
    if (QTreeWidgetItem* item = ListInObjectTree({obj}))
        MakeCurrentInTree(item);
}

void CDrawView::ShowOpenedObjects(QStringList* problems)
{
    if (!GetDocument())
        return;
    // The trees start afresh: items of objects that loading replaced would dangle. An opened
    // label shows nothing selected, so its shapes are not selected on the way.
    m_selection.clear();
    FillTrees(problems);
    // The last entry is current, as if each had been listed in turn.
    if (QTreeWidgetItem* last = ListInObjectTree(GetDocument()->GetObjects()))
        MakeCurrentInTree(last);
    viewport()->update();
}

std::vector<CDrawView*> CDrawView::DocumentViews() const
{
    std::vector<CDrawView*> views;
    if (CDrawDoc* doc = GetDocument()) {
        for (CView* v : doc->GetViews())
            if (auto* view = dynamic_cast<CDrawView*>(v))
                views.push_back(view);
    } else {
        views.push_back(const_cast<CDrawView*>(this));
    }
    return views;
}

void CDrawView::UnlistFromTrees(CDrawObj* obj)
{
    for (CDrawView* view : DocumentViews())
        view->RemoveFromTree(view->m_pObjectTree, obj);
}

QTreeWidgetItem* CDrawView::FindTreeItem(QTreeWidget* tree, CDrawObj* obj,
                                         QTreeWidgetItem** groupOut) const
{
    if (!tree || tree != m_pObjectTree)
        return nullptr;
    for (QTreeWidgetItem* group : {m_pBarcodeGroup, m_pTextGroup}) {
        if (!group)
            continue;
        for (int i = 0; i < group->childCount(); ++i) {
            if (ObjectOf(group->child(i)) == obj) {
                if (groupOut)
                    *groupOut = group;
                return group->child(i);
            }
        }
    }
    return nullptr;
}

void CDrawView::RemoveFromTree(QTreeWidget* tree, CDrawObj* obj)
{
    QTreeWidgetItem* group = nullptr;
    QTreeWidgetItem* item = FindTreeItem(tree, obj, &group);
    if (!item)
        return;
    // The tree makes a neighbour current when its current item goes; that must not select
    // the neighbour's object.
    const QSignalBlocker block(tree);
    delete item;
    UpdateGroupCaption(group);
}

void CDrawView::SelectTreeItem(QTreeWidget* tree, CDrawObj* obj)
{
    if (QTreeWidgetItem* item = FindTreeItem(tree, obj, nullptr)) {
        const QSignalBlocker block(tree);
        tree->setCurrentItem(item);
    }
}

void CDrawView::ShowSelectionInTree()
{
    if (!m_pObjectTree)
        return;
    // An item the user moved to stays current while its object is selected.
    if (IsSelected(ObjectOf(m_pObjectTree->currentItem())))
        return;
    // Only text and code objects are listed; the tree is searched once.
    QTreeWidgetItem* item = nullptr;
    for (auto it = m_selection.rbegin(); it != m_selection.rend(); ++it)
        if (IsCodeObject(*it) || IsTextObject(*it)) {
            item = FindTreeItem(m_pObjectTree, *it, nullptr);
            break;
        }
    const QSignalBlocker block(m_pObjectTree);
    m_pObjectTree->setCurrentItem(item);
    if (!item)
        m_pObjectTree->clearSelection();
}

void CDrawView::OnObjectTreeClick()
{
    InvalidateSelection();
    m_selection.clear();
    InvalidateSelection();
    if (m_pObjectTree) {
        const QSignalBlocker block(m_pObjectTree);
        m_pObjectTree->setCurrentItem(nullptr);
        m_pObjectTree->clearSelection();
    }
}

void CDrawView::OnObjectTreeSelChanged(QTreeWidgetItem* item)
{
    if (CDrawObj* obj = ObjectOf(item))
        Select(obj, TRUE);
}

void CDrawView::RefreshTreeNames()
{
    // Names may have changed in the property sheets; every window of the label shows them.
    for (CDrawView* view : DocumentViews()) {
        for (QTreeWidgetItem* group : {view->m_pBarcodeGroup, view->m_pTextGroup}) {
            if (!group)
                continue;
            for (int i = 0; i < group->childCount(); ++i) {
                QTreeWidgetItem* item = group->child(i);
                if (const CDrawObj* obj = ObjectOf(item); obj && item->text(0) != obj->GetName())
                    item->setText(0, obj->GetName());
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Data source

void CDrawView::OnDatabaseSetup()
{
    if (CDrawDoc* doc = GetDocument()) {
        // No database view with a grid to close exists here; the document takes the choice.
        if (RunDatabaseSetup(doc, window()) == ID_WIZFINISH)
            FillDatabaseTree();
    }
    viewport()->update();
}

BOOL CDrawView::FillDatabaseTree(QStringList* problems)
{
    CDrawDoc* doc = GetDocument();
    if (!m_pDatabaseTree)
        return FALSE;
    m_pDatabaseTree->clear();
    // A source that is gone leaves no fields of its own behind for the data-source page.
    if (doc)
        doc->GetSchemaMap().clear();
    CResourceManager* images = CResourceManager::GetInstance();
    const auto icon = [images](int index) {
        const QImage image = images->GetImage(CResourceManager::kMarkerBitmap, index);
        return image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image));
    };
    if (!doc || doc->GetConnectionString().isEmpty()) {
        m_pDatabaseRoot = new QTreeWidgetItem(m_pDatabaseTree, QStringList(String(kStrNoDataSource)));
        m_pDatabaseRoot->setIcon(0, icon(kImageNoSource));
        return FALSE;
    }

    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::array<BYTE, 4>& k = doc->GetDataSourceKind();
    const quint32 kind = quint32(k[0]) | quint32(k[1]) << 8 | quint32(k[2]) << 16 | quint32(k[3]) << 24;
    CString text;
    if (kind == 0) {
        const CString source = doc->GetDataFilePath().isEmpty() ? doc->GetConnectionString() : doc->GetDataFilePath();
        text = QStringLiteral("%1(%2)").arg(String(kStrDataFile), source);
    } else if (kind == 1) {
        text = QStringLiteral("(%1)").arg(doc->GetDataSourceName());
    }
    m_pDatabaseRoot = new QTreeWidgetItem(m_pDatabaseTree, QStringList(text));
    m_pDatabaseRoot->setIcon(0, icon(kImageSource));

    CBarcodeDB db;
    db.SetLabelFile(doc->GetPathName());
    BOOL filled = FALSE;
    CString failure;
    try {
        if (!db.OpenConnection(doc->GetConnectionString())) {
            const CString cause = db.GetLastError();
            throw CBarcodeDBException(cause.isEmpty() ? String(kStrCannotOpen)
                                                      : String(kStrCannotOpen) + QStringLiteral("\n") + cause);
        }
        std::vector<CString> fields;
        db.GetFields(doc->GetTableName(), fields);
        auto* table = new QTreeWidgetItem(m_pDatabaseRoot, QStringList(doc->GetTableName()));
        table->setIcon(0, icon(kImageTable));
        for (const CString& field : fields)
            (new QTreeWidgetItem(table, QStringList(field)))->setIcon(0, icon(kImageField));
        table->setExpanded(true);
        doc->GetSchemaMap()[doc->GetTableName()] = fields;
        m_pDatabaseRoot->setExpanded(true);
        filled = TRUE;
    } catch (const CBarcodeDBException& e) {
        failure = e.GetErrorMessage().left(kMaxMessage);
    }
    db.Close();
    QApplication::restoreOverrideCursor();
    if (!filled) {
        if (problems)
            problems->append(failure);
        else
            MessageBox(this, failure, String(kStrAppTitle), MB_ICONERROR);
        m_pDatabaseRoot->setIcon(0, icon(kImageFailed));
        qDeleteAll(m_pDatabaseRoot->takeChildren());
    }
    return filled;
}

// ---------------------------------------------------------------------------------------------
// Palette drops

BOOL CDrawView::IsPointInView(QPoint screen) const
{
    return viewport()->rect().contains(viewport()->mapFromGlobal(screen));
}

void CDrawView::OnDropComponent(QPoint screen, CCompItem* item)
{
    if (!GetDocument() || !item)
        return;
    const QPoint p = viewport()->mapFromGlobal(screen);
    const CPoint logical = ClientToDoc(CPoint(p.x(), p.y()));
    if (!m_bDropping) {
        m_bDropping = TRUE;
        m_bDropWasModified = GetDocument()->IsModified();
        viewport()->setCursor(m_dropCursor);
        CreateFromComponent(logical, item);
    } else {
        InvalidateSelection();
        CentreSelectionOn(logical);
        InvalidateSelection();
    }
}

void CDrawView::CentreSelectionOn(CPoint logical)
{
    for (CDrawObj* obj : m_selection)
        CentreOn(obj, logical);
}

void CDrawView::CentreOn(CDrawObj* obj, CPoint logical)
{
    const LONG w = obj->m_position.Width(), h = obj->m_position.Height();
    const LONG left = logical.x - w / 2, top = logical.y - h / 2;
    obj->m_position = CRect(left, top, left + w, top + h);
}

void CDrawView::CreateFromComponent(CPoint logical, CCompItem* item)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    InvalidateSelection();
    m_selection.clear();
    if (CDrawObj* obj = item->CreateDrawObj(this)) {
        obj->m_pDocument = GetDocument();
        obj->AssignDefaultName(this);
        CentreOn(obj, logical);
        AddObject(obj);
        Select(obj, TRUE);
        InvalidateSelection();
    }
    QApplication::restoreOverrideCursor();
}

void CDrawView::CancelComponentDrop()
{
    if (!m_bDropping)
        return;
    InvalidateSelection();
    const std::vector<CDrawObj*> created = m_selection;
    for (CDrawObj* obj : created) {
        if (GetDocument()) {
            GetDocument()->Remove(obj);
            // The default name the object took is given back.
            if (IsCodeObject(obj))
                GetDocument()->DecrementCodeNumber();
            else if (IsTextObject(obj))
                GetDocument()->DecrementTextNumber();
        }
        UnlistFromTrees(obj);
        Deselect(obj);
        obj->Remove();
    }
    if (GetDocument())
        GetDocument()->SetModifiedFlag(m_bDropWasModified);
    EndComponentDrop();
    if (m_nRedrawTimer)
        killTimer(m_nRedrawTimer);
    m_nRedrawTimer = startTimer(kRedrawTimerMs);
}

void CDrawView::EndComponentDrop()
{
    m_bDropping = FALSE;
    viewport()->setCursor(Qt::ArrowCursor);
}

void CDrawView::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_nRedrawTimer) {
        killTimer(m_nRedrawTimer);
        m_nRedrawTimer = 0;
        viewport()->update();
        emit redrawnAfterDrop();
        return;
    }
    QAbstractScrollArea::timerEvent(event);
}
