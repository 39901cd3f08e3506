#include "framework/object.h"

#include "framework/archive.h"

#include <string>
#include <unordered_map>
#include <unordered_set>

namespace {

// Built on first use, so that registrations from any translation unit's static
// initialisation find it constructed.
std::unordered_map<std::string, CRuntimeClass*>& ClassRegistry()
{
    static std::unordered_map<std::string, CRuntimeClass*> registry;
    return registry;
}

} // namespace

CObject* CRuntimeClass::CreateObject() const
{
    return m_pfnCreateObject ? m_pfnCreateObject() : nullptr;
}

bool CRuntimeClass::IsDerivedFrom(const CRuntimeClass* pBaseClass) const
{
    if (!pBaseClass)
        return false;
    for (const CRuntimeClass* c = this; c; c = c->m_pBaseClass) {
        if (c == pBaseClass)
            return true;
    }
    return false;
}

CRuntimeClass* CRuntimeClass::FromName(const char* lpszClassName)
{
    if (!lpszClassName)
        return nullptr;
    const auto& registry = ClassRegistry();
    auto it = registry.find(lpszClassName);
    return it == registry.end() ? nullptr : it->second;
}

void CRuntimeClass::Register(CRuntimeClass* pClass)
{
    ClassRegistry().emplace(pClass->m_lpszClassName, pClass);
}

CRuntimeClass CObject::classCObject = {"CObject", int(sizeof(CObject)), 0xFFFF, nullptr, nullptr};
static const CClassRegistration qb_class_registration_CObject(RUNTIME_CLASS(CObject));

CRuntimeClass* CObject::GetRuntimeClass() const
{
    return RUNTIME_CLASS(CObject);
}

void CObject::Serialize(CArchive&)
{
}

bool CObject::IsKindOf(const CRuntimeClass* pClass) const
{
    return GetRuntimeClass()->IsDerivedFrom(pClass);
}

// ---------------------------------------------------------------------------------------------

IMPLEMENT_DYNAMIC(CObList, CObject)

CObList::~CObList()
{
    RemoveAll();
}

CObList::CNode* CObList::NewNode(CNode* pPrev, CNode* pNext, CObject* data)
{
    CNode* node = new CNode{pNext, pPrev, data};
    if (pPrev)
        pPrev->pNext = node;
    else
        m_pHead = node;
    if (pNext)
        pNext->pPrev = node;
    else
        m_pTail = node;
    ++m_nCount;
    return node;
}

void CObList::Unlink(CNode* node)
{
    if (node->pPrev)
        node->pPrev->pNext = node->pNext;
    else
        m_pHead = node->pNext;
    if (node->pNext)
        node->pNext->pPrev = node->pPrev;
    else
        m_pTail = node->pPrev;
    --m_nCount;
    delete node;
}

CObject*& CObList::GetHead() { return m_pHead->data; }
CObject* CObList::GetHead() const { return m_pHead->data; }
CObject*& CObList::GetTail() { return m_pTail->data; }
CObject* CObList::GetTail() const { return m_pTail->data; }

CObject* CObList::RemoveHead()
{
    CObject* data = m_pHead->data;
    Unlink(m_pHead);
    return data;
}

CObject* CObList::RemoveTail()
{
    CObject* data = m_pTail->data;
    Unlink(m_pTail);
    return data;
}

POSITION CObList::AddHead(CObject* newElement) { return Pos(NewNode(nullptr, m_pHead, newElement)); }
POSITION CObList::AddTail(CObject* newElement) { return Pos(NewNode(m_pTail, nullptr, newElement)); }

void CObList::AddHead(CObList* pNewList)
{
    // Walk backwards so that the added elements keep their order.
    for (CNode* n = pNewList->m_pTail; n; n = n->pPrev)
        AddHead(n->data);
}

void CObList::AddTail(CObList* pNewList)
{
    for (CNode* n = pNewList->m_pHead; n; n = n->pNext)
        AddTail(n->data);
}

void CObList::RemoveAll()
{
    CNode* n = m_pHead;
    while (n) {
        CNode* next = n->pNext;
        delete n;
        n = next;
    }
    m_pHead = m_pTail = nullptr;
    m_nCount = 0;
}

CObject*& CObList::GetNext(POSITION& rPosition)
{
    CNode* n = Node(rPosition);
    rPosition = Pos(n->pNext);
    return n->data;
}

CObject* CObList::GetNext(POSITION& rPosition) const
{
    CNode* n = Node(rPosition);
    rPosition = Pos(n->pNext);
    return n->data;
}

CObject*& CObList::GetAt(POSITION position) { return Node(position)->data; }
CObject* CObList::GetAt(POSITION position) const { return Node(position)->data; }
void CObList::SetAt(POSITION pos, CObject* newElement) { Node(pos)->data = newElement; }
void CObList::RemoveAt(POSITION position) { Unlink(Node(position)); }

POSITION CObList::InsertBefore(POSITION position, CObject* newElement)
{
    if (!position)
        return AddHead(newElement);
    CNode* n = Node(position);
    return Pos(NewNode(n->pPrev, n, newElement));
}

POSITION CObList::InsertAfter(POSITION position, CObject* newElement)
{
    if (!position)
        return AddTail(newElement);
    CNode* n = Node(position);
    return Pos(NewNode(n, n->pNext, newElement));
}

POSITION CObList::Find(const CObject* searchValue, POSITION startAfter) const
{
    CNode* n = startAfter ? Node(startAfter)->pNext : m_pHead;
    for (; n; n = n->pNext) {
        if (n->data == searchValue)
            return Pos(n);
    }
    return nullptr;
}

POSITION CObList::FindIndex(qsizetype nIndex) const
{
    if (nIndex < 0 || nIndex >= m_nCount)
        return nullptr;
    CNode* n = m_pHead;
    while (nIndex-- > 0)
        n = n->pNext;
    return Pos(n);
}

bool CObList::Remove(const CObject* element)
{
    POSITION pos = Find(element);
    if (!pos)
        return false;
    RemoveAt(pos);
    return true;
}

void CObList::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar.WriteCount(std::uint64_t(m_nCount));
        for (CNode* n = m_pHead; n; n = n->pNext)
            ar << n->data;
        return;
    }
    // The count comes from the file: nothing is reserved by it; each element read costs bytes,
    // so a false count ends at the end of the data.
    std::uint64_t count = ar.ReadCount();
    std::unordered_set<const CObject*> seen;
    while (count-- > 0) {
        CObject* element = nullptr;
        ar >> element;
        if (!element || !seen.insert(element).second)
            throw CArchiveException(CArchiveException::badIndex, "null or repeated element in a list");
        AddTail(element);
    }
}
