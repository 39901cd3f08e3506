#include "framework/document.h"

#include "framework/archive.h"
#include "framework/savefile.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

IMPLEMENT_DYNAMIC(CDocument, CObject)

CView::~CView()
{
    if (m_pDocument)
        m_pDocument->RemoveView(this);
}

CDocument::CDocument() = default;

CDocument::~CDocument()
{
    for (CView* view : m_views)
        view->m_pDocument = nullptr;
}

void CDocument::SetPathName(const CString& path)
{
    m_strPathName = path;
    SetTitle(QFileInfo(path).fileName());
}

void CDocument::AddView(CView* view)
{
    if (view->m_pDocument == this)
        return;
    if (view->m_pDocument)
        view->m_pDocument->RemoveView(view);
    m_views.push_back(view);
    view->m_pDocument = this;
}

void CDocument::RemoveView(CView* view)
{
    const auto it = std::find(m_views.begin(), m_views.end(), view);
    if (it == m_views.end())
        return;
    m_views.erase(it);
    view->m_pDocument = nullptr;
}

void CDocument::UpdateAllViews(CView* sender, long hint, CObject* hintObject)
{
    // A view may detach itself while it updates: walk a copy.
    const std::vector<CView*> views = m_views;
    for (CView* view : views)
        if (view != sender)
            view->OnUpdate(sender, hint, hintObject);
}

BOOL CDocument::OnNewDocument()
{
    DeleteContents();
    m_strPathName.clear();
    SetModifiedFlag(FALSE);
    return TRUE;
}

BOOL CDocument::OnOpenDocument(const CString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_strError = file.errorString();
        return FALSE;
    }
    const QByteArray bytes = file.readAll();
    DeleteContents();
    try {
        CArchive ar(bytes, CArchive::load);
        ar.m_pDocument = this;
        Serialize(ar);
    } catch (const std::exception& e) {
        DeleteContents();
        m_strError = QString::fromUtf8(e.what());
        return FALSE;
    }
    SetPathName(path);
    SetModifiedFlag(FALSE);
    return TRUE;
}

BOOL CDocument::OnSaveDocument(const CString& path)
{
    QByteArray bytes;
    try {
        CArchive ar(CArchive::store);
        ar.m_pDocument = this;
        Serialize(ar);
        bytes = ar.GetBuffer();
    } catch (const std::exception& e) {
        m_strError = QString::fromUtf8(e.what());
        return FALSE;
    }
    if (!WriteFileAtomically(path, bytes, m_strError))
        return FALSE;
    SetModifiedFlag(FALSE);
    SetPathName(path);
    return TRUE;
}

void CDocument::Serialize(CArchive& ar) {}
