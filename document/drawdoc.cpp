#include "document/drawdoc.h"

#include "document/printerhook.h"
#include "document/sheetlimits.h"
#include "framework/archive.h"
#include "framework/compoundfile.h"
#include "framework/ui/dialogids.h"
#include "objects/drawobj.h"
#include "objects/drawole.h"
#include "objects/drawviewbase.h"
#include "framework/resourcemodule.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

IMPLEMENT_DYNCREATE(CDrawDoc, CDocument)

namespace {

// The name of the program that a new document records as its creator.
const char16_t kAppName[] = u"標籤";

}  // namespace

CDrawDoc::CDrawDoc()
{
    ResetFields();
}

CDrawDoc::~CDrawDoc()
{
    DeleteContents();
}

void CDrawDoc::ResetFields()
{
    m_strTable.clear();
    m_paperSize = {2100.0f, 2970.0f};
    m_nPaperCode = 9;
    m_labelSize = {0.0f, 0.0f};
    m_labelGap = {0.0f, 0.0f};
    m_margins = {100.0f, 100.0f, 100.0f, 100.0f};
    m_labelGrid = {2, 5};
    m_canvas = {4000, 4000};
    m_bAutoGap = TRUE;
    m_bAutoLabelSize = TRUE;
    m_nMapMode = 8;
    m_paperColor = 0xFFFFFF;
    m_reserved = {};
    m_nOrientation = 1;
    m_strPrinter.clear();
    m_nPendingQueryArg = 0;
    m_strQuery.clear();
    m_strConnection.clear();
    m_strDataFile.clear();
    m_strDataSource.clear();
    m_dataSourceKind = {};
    m_schemaMap.clear();
}

void CDrawDoc::DeleteContents()
{
    // Objects first, head to tail; an embedded object takes its item with it. Items that no
    // object refers to go last.
    std::vector<CDrawObj*> objects;
    objects.swap(m_objects);
    // The views let go of every object first: nothing of theirs points into a closed document.
    for (CView* view : GetViews())
        if (auto* drawView = dynamic_cast<CDrawViewBase*>(view))
            for (CDrawObj* obj : objects)
                drawView->Deselect(obj);
    for (CDrawObj* obj : objects)
        delete obj;
    std::vector<CDrawItem*> items;
    items.swap(m_items);
    for (CDrawItem* item : items)
        delete item;
}

// ---------------------------------------------------------------------------------------------
// Sheet

void CDrawDoc::SetLabelSize(const float* size)
{
    if (size[0] == m_labelSize[0] && size[1] == m_labelSize[1])
        return;
    m_labelSize = {size[0], size[1]};
}

std::array<float, 2> CDrawDoc::GetShownLabelSize() const
{
    const auto shown = [](float v) {
        return std::isnan(v) ? 0.0f : std::clamp(v, -float(kMaxSheetLength), float(kMaxSheetLength));
    };
    return {shown(m_labelSize[0]), shown(m_labelSize[1])};
}

BOOL CDrawDoc::IsLabelSizeInLimits() const
{
    return GetShownLabelSize() == m_labelSize;
}

void CDrawDoc::GetMargins(float* left, float* top, float* right, float* bottom) const
{
    *left = m_margins[0];
    *top = m_margins[1];
    *right = m_margins[2];
    *bottom = m_margins[3];
}

void CDrawDoc::SetMargins(float left, float top, float right, float bottom)
{
    m_margins = {left, top, right, bottom};
}

BOOL CDrawDoc::IsPrintableSheet() const
{
    const auto length = [](float v) { return std::isfinite(v) && std::fabs(v) <= float(kMaxSheetLength); };
    const auto cells = [](int n) { return n >= 1 && n <= kMaxSheetCells; };
    for (const float v : {m_paperSize[0], m_paperSize[1], m_labelSize[0], m_labelSize[1], m_labelGap[0],
                          m_labelGap[1], m_margins[0], m_margins[1], m_margins[2], m_margins[3]})
        if (!length(v))
            return FALSE;
    return m_paperSize[0] > 0 && m_paperSize[1] > 0 && m_labelSize[0] >= 0 && m_labelSize[1] >= 0 &&
           cells(m_labelGrid[0]) && cells(m_labelGrid[1]);
}

void CDrawDoc::SetOrientation(int orientation)
{
    m_nOrientation = orientation;
    if (!m_strPrinter.isEmpty())
        CallPrinterOrientationHook(orientation);
}

void CDrawDoc::GetCanvasRect(CRect* rect) const
{
    // The canvas is kept in hundredths of an inch and reaches ten inches beyond the label's
    // top-left corner on every side.
    rect->left = -15360;
    rect->top = -15360;
    rect->right = int(float(m_canvas[0]) / 100.0f * 1536.0f) - 15360;
    rect->bottom = int(float(m_canvas[1]) / 100.0f * 1536.0f) - 15360;
}

// ---------------------------------------------------------------------------------------------
// Objects and items

void CDrawDoc::Add(CDrawObj* obj)
{
    m_objects.push_back(obj);
    obj->m_pDocument = this;
    if (auto* ole = dynamic_cast<CDrawOleObj*>(obj); ole && ole->m_pItem)
        AddItem(ole->m_pItem);
    SetModifiedFlag(TRUE);
}

void CDrawDoc::SetObjectOrder(const std::vector<CDrawObj*>& objects)
{
    if (objects.size() == m_objects.size() && std::is_permutation(objects.begin(), objects.end(), m_objects.begin()))
        m_objects = objects;
}

void CDrawDoc::Remove(CDrawObj* obj)
{
    const auto it = std::find(m_objects.begin(), m_objects.end(), obj);
    if (it != m_objects.end())
        m_objects.erase(it);
    SetModifiedFlag(TRUE);
    for (CView* view : GetViews())
        if (auto* drawView = dynamic_cast<CDrawViewBase*>(view))
            drawView->Deselect(obj);
}

CDrawObj* CDrawDoc::FindObjectAtPoint(CPoint point) const
{
    const CRect rect(point.x, point.y, point.x + 1, point.y + 1);
    for (auto it = m_objects.rbegin(); it != m_objects.rend(); ++it)
        if ((*it)->OverlapsRect(rect))
            return *it;
    return nullptr;
}

void CDrawDoc::AddItem(CDrawItem* item)
{
    if (std::find(m_items.begin(), m_items.end(), item) != m_items.end())
        return;
    // Items name their sub-storages by number: a new item, or one whose number another item
    // already uses, gets a fresh one.
    const bool taken = std::any_of(m_items.begin(), m_items.end(), [&](const CDrawItem* other) {
        return other->m_dwItemNumber == item->m_dwItemNumber;
    });
    if (item->m_dwItemNumber == 0 || taken)
        item->m_dwItemNumber = NextItemNumber();
    m_items.push_back(item);
}

void CDrawDoc::RemoveItem(CDrawItem* item)
{
    const auto it = std::find(m_items.begin(), m_items.end(), item);
    if (it != m_items.end())
        m_items.erase(it);
}

DWORD CDrawDoc::NextItemNumber() const
{
    DWORD next = 1;
    for (const CDrawItem* item : m_items)
        next = std::max(next, item->m_dwItemNumber + 1);
    return next;
}

void CDrawDoc::DecrementTextNumber()
{
    if (m_nTextCounter > 0)
        --m_nTextCounter;
}

void CDrawDoc::DecrementCodeNumber()
{
    if (m_nCodeCounter > 0)
        --m_nCodeCounter;
}

// ---------------------------------------------------------------------------------------------
// Views and zoom

CDrawViewBase* CDrawDoc::GetDrawView() const
{
    for (CView* view : GetViews())
        if (auto* drawView = dynamic_cast<CDrawViewBase*>(view))
            return drawView;
    return nullptr;
}

std::function<void(const CDrawDoc*, int)> CDrawDoc::c_showZoom;
std::function<int(CDrawDoc*, BOOL, CString*)> CDrawDoc::c_labelWizard;

int CDrawDoc::RunLabelWizard(BOOL bNew, CString* openPath)
{
    if (openPath)
        openPath->clear();
    if (!c_labelWizard)
        return ID_WIZFINISH;
    CString path;
    const int result = c_labelWizard(this, bNew, &path);
    if (openPath)
        *openPath = path;
    return result;
}

void CDrawDoc::SetZoom(int percent)
{
    m_nZoom = percent;
    for (CView* view : GetViews())
        if (auto* drawView = dynamic_cast<CDrawViewBase*>(view)) {
            drawView->ApplyZoom(percent);
            drawView->SetFocus();
        }
    // Every way to a zoom ends here, so the box always shows it.
    if (c_showZoom)
        c_showZoom(this, percent);
}

void CDrawDoc::OnZoomSelEndOk(const QString& text)
{
    // Leading blanks, an optional sign and digits, as the zoom box's text was always read;
    // anything else reads as 0 and is clamped up.
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    qint64 value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        value = std::min<qint64>(value * 10 + (text[i].unicode() - u'0'), kMaxZoom + 1);
    if (negative)
        value = -value;
    SetZoom(int(std::clamp<qint64>(value, kMinZoom, kMaxZoom)));
}

// ---------------------------------------------------------------------------------------------
// Archive

void CDrawDoc::ReadOrientation(CArchive& ar)
{
    DWORD orientation = 0;
    ar >> orientation;
    m_nOrientation = int(orientation);
    // Loading a document that names a printer turns the application's printer set-up with it.
    if (!m_strPrinter.isEmpty())
        CallPrinterOrientationHook(m_nOrientation);
}

void CDrawDoc::ReadSheet(CArchive& ar, DWORD version)
{
    if (version >= 1)
        ar >> m_paperColor;
    ar.Read(m_reserved.data(), 4);
    ar >> m_paperSize[0] >> m_paperSize[1];
    if (version >= 2) {
        DWORD code = 0;
        ar >> code;
        m_nPaperCode = int(code);
    }
    ar >> m_strPrinter;
    ReadOrientation(ar);
    for (float& m : m_margins)
        ar >> m;
    ar >> m_labelSize[0] >> m_labelSize[1] >> m_labelGap[0] >> m_labelGap[1];
    if (version == 0) {
        // The oldest files kept these lengths in hundredths of an inch.
        for (float& m : m_margins)
            m *= 2.54f;
        for (float* v : {&m_labelSize[0], &m_labelSize[1], &m_labelGap[0], &m_labelGap[1]})
            *v *= 2.54f;
    }
    DWORD columns = 0, rows = 0;
    ar >> columns >> rows;
    m_labelGrid = {int(columns), int(rows)};
    if (version == 0)
        return;
    DWORD autoLabelSize = 0, autoGap = 0;
    ar >> autoLabelSize >> autoGap;
    m_bAutoLabelSize = BOOL(autoLabelSize);
    m_bAutoGap = BOOL(autoGap);
    if (version < 3)
        return;
    ar.Read(m_dataSourceKind.data(), 4);
    ar >> m_strConnection >> m_strDataFile >> m_strDataSource >> m_strTable;
    if (version < 4)
        return;
    DWORD pending = 0;
    ar >> m_strQuery >> pending;
    m_nPendingQueryArg = int(pending);
}

void CDrawDoc::ReadLegacy(CArchive& ar) { ReadSheet(ar, 0); }
void CDrawDoc::ReadVersion1(CArchive& ar) { ReadSheet(ar, 1); }
void CDrawDoc::ReadVersion2(CArchive& ar) { ReadSheet(ar, 2); }
void CDrawDoc::ReadVersion3(CArchive& ar) { ReadSheet(ar, 3); }
void CDrawDoc::ReadVersion4(CArchive& ar) { ReadSheet(ar, 4); }

void CDrawDoc::WriteObjectList(CArchive& ar, const std::vector<CDrawObj*>& objects)
{
    ar.WriteCount(objects.size());
    for (CDrawObj* obj : objects)
        ar.WriteObject(obj);
}

long long CDrawDoc::GetPictureMemoryLeft() const
{
    if (m_pictureMemoryLeft >= 0)
        return m_pictureMemoryLeft;
    long long used = 0;
    for (const CDrawObj* obj : m_objects)
        used += obj->GetPictureMemory();
    return std::max(0LL, kMaxPictureMemory - used);
}

void CDrawDoc::UsePictureMemory(long long bytes)
{
    if (m_pictureMemoryLeft >= 0)
        m_pictureMemoryLeft = std::max(0LL, m_pictureMemoryLeft - bytes);
}

void CDrawDoc::UsePictureWork(double work)
{
    if (m_pictureWorkLeft >= 0)
        m_pictureWorkLeft = std::max(0.0, m_pictureWorkLeft - work);
}

QStringList CDrawDoc::GetLoadProblems() const
{
    // A label of many broken pictures is told by its first ones, and that there were more.
    constexpr qsizetype kMaxTold = 20;
    QStringList problems;
    for (const CDrawObj* obj : m_objects)
        if (const CString problem = obj->GetLoadProblem(); !problem.isEmpty()) {
            if (problems.size() == kMaxTold) {
                problems.append(QStringLiteral("\u2026"));
                break;
            }
            problems.append(problem);
        }
    return problems;
}

void CDrawDoc::ReadObjectList(CArchive& ar, std::vector<CDrawObj*>& objects)
{
    // The pictures read take their share of what the document's pictures have left, and of the
    // work that reading them may cost.
    struct Budget {
        CDrawDoc& doc;
        explicit Budget(CDrawDoc& d) : doc(d)
        {
            doc.m_pictureMemoryLeft = doc.GetPictureMemoryLeft();
            doc.m_pictureWorkLeft = kMaxPictureWork;
        }
        ~Budget() { doc.m_pictureMemoryLeft = doc.m_pictureWorkLeft = -1; }
    } budget(*this);

    // Each reference takes at least two bytes, so a huge count ends at the end of the data.
    const std::uint64_t count = ar.ReadCount();
    std::unordered_set<const CObject*> seen;
    for (std::uint64_t i = 0; i < count; ++i) {
        CObject* ob = ar.ReadObject(RUNTIME_CLASS(CDrawObj));
        auto* obj = dynamic_cast<CDrawObj*>(ob);
        // The list owns its objects: a missing or repeated one cannot be kept.
        if (!obj || !seen.insert(obj).second)
            throw CArchiveException(CArchiveException::badIndex,
                                    "the object list holds an empty or repeated entry");
        obj->m_pDocument = this;
        objects.push_back(obj);
    }
}

void CDrawDoc::SerializeObjects(CArchive& ar)
{
    if (ar.IsStoring())
        WriteObjectList(ar, m_objects);
    else
        ReadObjectList(ar, m_objects);
}

QByteArray CDrawDoc::StoreObjectList(const std::vector<CDrawObj*>& objects)
{
    CArchive ar(CArchive::store);
    ar.m_pDocument = this;
    WriteObjectList(ar, objects);
    return ar.GetBuffer();
}

std::vector<CDrawObj*> CDrawDoc::LoadObjectList(const QByteArray& bytes)
{
    std::vector<CDrawObj*> objects;
    try {
        CArchive ar(bytes, CArchive::load);
        ar.m_pDocument = this;
        ReadObjectList(ar, objects);
    } catch (...) {
        for (CDrawObj* obj : objects)
            obj->Remove();
        throw;
    }
    return objects;
}

void CDrawDoc::SerializeItems(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar << DWORD(m_items.size());
        for (CDrawItem* item : m_items)
            ar.WriteObject(item);
        return;
    }
    DWORD count = 0;
    ar >> count;
    for (DWORD i = 0; i < count; ++i) {
        auto* item = dynamic_cast<CDrawItem*>(ar.ReadObject(RUNTIME_CLASS(CDrawItem)));
        if (!item)
            throw CArchiveException(CArchiveException::badIndex, "the item list holds an empty entry");
        AddItem(item);
    }
}

void CDrawDoc::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar << kFileVersion << m_paperColor;
        ar.Write(m_reserved.data(), 4);
        ar << m_paperSize[0] << m_paperSize[1] << DWORD(m_nPaperCode) << m_strPrinter
           << DWORD(m_nOrientation);
        for (float m : m_margins)
            ar << m;
        ar << m_labelSize[0] << m_labelSize[1] << m_labelGap[0] << m_labelGap[1];
        ar << DWORD(m_labelGrid[0]) << DWORD(m_labelGrid[1]);
        ar << DWORD(m_bAutoLabelSize) << DWORD(m_bAutoGap);
        ar.Write(m_dataSourceKind.data(), 4);
        ar << m_strConnection << m_strDataFile << m_strDataSource << m_strTable << m_strQuery;
        ar << DWORD(0);
        SerializeObjects(ar);
        if (m_pStoreRoot && m_pSummInfo)
            m_pSummInfo->WriteToStorage(*m_pStoreRoot);
        SerializeItems(ar);
        return;
    }

    m_nPaperCode = 9;
    DWORD first = 0;
    ar >> first;
    if (first == kLegacyMark) {
        m_paperColor = kLegacyMark;
        ReadLegacy(ar);
    } else if (first == 1) {
        ReadVersion1(ar);
    } else if (first == 2) {
        ReadVersion2(ar);
    } else if (first == 3) {
        ReadVersion3(ar);
        if (m_strQuery.isEmpty()) {
            // Grave accents inside the name are doubled, so the name stays one quoted name.
            QString table = m_strTable;
            table.replace(u'`', QStringLiteral("``"));
            m_strQuery = QStringLiteral("SELECT * FROM `%1`").arg(table);
        }
    } else if (first == 4) {
        ReadVersion4(ar);
    }
    SerializeObjects(ar);
    if (m_pLoadRoot && m_pSummInfo)
        m_pSummInfo->ReadFromStorage(*m_pLoadRoot);
    SerializeItems(ar);
}

QByteArray CDrawDoc::StoreContents()
{
    CArchive ar(CArchive::store);
    ar.m_pDocument = this;
    Serialize(ar);
    return ar.GetBuffer();
}

void CDrawDoc::LoadContents(const QByteArray& bytes)
{
    CArchive ar(bytes, CArchive::load);
    ar.m_pDocument = this;
    Serialize(ar);
}

BOOL CDrawDoc::LoadFromStorage(const CStorage& root)
{
    const QByteArray* contents = root.OpenStream(ContentsStreamName());
    if (!contents) {
        DeleteContents();
        SetErrorText(LoadMessage(480, "The file is not a label document: it has no Contents stream."));
        return FALSE;
    }
    m_pLoadRoot = &root;
    try {
        LoadContents(*contents);
    } catch (const std::exception& e) {
        m_pLoadRoot = nullptr;
        DeleteContents();
        ResetFields();
        SetErrorText(LoadMessage(481, "The label document is damaged: %1").arg(QString::fromUtf8(e.what())));
        return FALSE;
    }
    m_pLoadRoot = nullptr;
    return TRUE;
}

BOOL CDrawDoc::StoreToStorage(CStorage& root)
{
    m_pStoreRoot = &root;
    try {
        const QByteArray contents = StoreContents();
        m_pStoreRoot = nullptr;
        if (!root.WriteStream(ContentsStreamName(), contents)) {
            SetErrorText(LoadMessage(482, "The document could not be written."));
            return FALSE;
        }
    } catch (const std::exception& e) {
        m_pStoreRoot = nullptr;
        SetErrorText(LoadMessage(483, "The document could not be written: %1").arg(QString::fromUtf8(e.what())));
        return FALSE;
    }
    return TRUE;
}

// ---------------------------------------------------------------------------------------------
// Life cycle

BOOL CDrawDoc::OnNewDocument()
{
    if (GetPathName().isEmpty()) {
        if (!CDocument::OnNewDocument())
            return FALSE;
    } else {
        SetTitle(GetPathName());
        SetModifiedFlag(FALSE);
    }
    m_pSummInfo = std::make_unique<CSummInfo>();
    m_pSummInfo->StartEditTimeCount();
    m_pSummInfo->RecordCreateDate();
    m_pSummInfo->SetNumPages(1);
    m_pSummInfo->SetAppname(QString::fromUtf16(kAppName));
    m_nTextCounter = 0;
    m_nCodeCounter = 0;
    // The label wizard of a new document removes the view when it is not finished; a document
    // without a view is then discarded.
    return !GetViews().empty();
}

BOOL CDrawDoc::OnOpenDocument(const CString& path)
{
    m_pSummInfo = std::make_unique<CSummInfo>();
    m_pSummInfo->StartEditTimeCount();
    SetModifiedFlag(FALSE);
    DeleteContents();
    m_nTextCounter = 0;
    m_nCodeCounter = 0;

    CCompoundFile file;
    QString error;
    if (!file.Load(path, error)) {
        SetErrorText(error);
        return FALSE;
    }
    // A failed load leaves the document empty and not bound to the file.
    if (!LoadFromStorage(file.GetRoot()))
        return FALSE;
    SetPathName(path);
    SetModifiedFlag(FALSE);
    UpdateAllViews(nullptr, 0, nullptr);
    return TRUE;
}

BOOL CDrawDoc::OnSaveDocument(const CString& path)
{
    if (!m_pSummInfo)
        m_pSummInfo = std::make_unique<CSummInfo>();
    // A failed save changes nothing, the summary's counts included.
    const CSummInfo before = *m_pSummInfo;
    m_pSummInfo->RecordSaveDate();
    m_pSummInfo->IncrRevNum();
    m_pSummInfo->SetLastAuthor(m_pSummInfo->GetAuthor());
    m_pSummInfo->AddCountToEditTime();
    m_pSummInfo->StartEditTimeCount();

    if (!SaveCopy(path)) {
        *m_pSummInfo = before;
        return FALSE;
    }
    SetModifiedFlag(FALSE);
    SetPathName(path);
    return TRUE;
}

BOOL CDrawDoc::SaveCopy(const CString& path)
{
    CCompoundFile file;
    QString error;
    if (!StoreToStorage(file.GetRoot()))
        return FALSE;
    if (!file.Save(path, error)) {
        SetErrorText(error);
        return FALSE;
    }
    return TRUE;
}
