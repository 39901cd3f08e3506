#pragma once
// Run-time classes: every archived class carries a CRuntimeClass with its name, size, schema,
// factory and base class. Classes enter a process-wide registry by name during static
// initialisation, so that an archive can create an object from the class name it reads.

#include "framework/types.h"

#include <cstddef>
#include <iterator>

class CObject;
class CArchive;

// Set in a class's schema when it can load records of older schemas itself: the archive then
// hands the stored schema to the object (CArchive::GetObjectSchema) instead of refusing it.
constexpr UINT VERSIONABLE_SCHEMA = 0x80000000u;

// An aggregate so that every class record is constant-initialised: base-class pointers are
// valid before any dynamic initialisation runs, whatever the order of translation units.
struct CRuntimeClass {
    const char* m_lpszClassName;         // single-byte name, as stored in archives
    int m_nObjectSize;
    UINT m_wSchema;                      // low word: schema number; may hold VERSIONABLE_SCHEMA
    CObject* (*m_pfnCreateObject)();     // null for classes that cannot be created by name
    const CRuntimeClass* m_pBaseClass;   // null for CObject

    // A new object of this class, or null when the class has no factory.
    CObject* CreateObject() const;
    bool IsDerivedFrom(const CRuntimeClass* pBaseClass) const;

    // The registered class of this name, or null.
    static CRuntimeClass* FromName(const char* lpszClassName);
    // Adds a class to the registry; a second class of the same name is ignored.
    static void Register(CRuntimeClass* pClass);
};

// Registers a class from a static object's constructor (used by the IMPLEMENT_ macros).
struct CClassRegistration {
    explicit CClassRegistration(CRuntimeClass* pClass) { CRuntimeClass::Register(pClass); }
};

class CObject {
public:
    static CRuntimeClass classCObject;

    virtual ~CObject() = default;
    virtual CRuntimeClass* GetRuntimeClass() const;
    // Stores or loads the object's record; CObject's own record is empty.
    virtual void Serialize(CArchive& ar);

    bool IsKindOf(const CRuntimeClass* pClass) const;

protected:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name)                       \
public:                                                   \
    static CRuntimeClass class##class_name;               \
    CRuntimeClass* GetRuntimeClass() const override;

#define DECLARE_DYNCREATE(class_name)                     \
    DECLARE_DYNAMIC(class_name)                           \
    static CObject* CreateObject();

// Also declares `ar >> pObject` for pointers to the class, read with a class check.
#define DECLARE_SERIAL(class_name)                        \
    DECLARE_DYNCREATE(class_name)                         \
    friend CArchive& operator>>(CArchive& ar, class_name*& pOb);

#define QB_IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, schema, pfnNew)                 \
    CRuntimeClass class_name::class##class_name = {                                            \
        #class_name, int(sizeof(class_name)), UINT(schema), pfnNew,                             \
        RUNTIME_CLASS(base_class_name)};                                                        \
    CRuntimeClass* class_name::GetRuntimeClass() const { return RUNTIME_CLASS(class_name); }    \
    static const CClassRegistration qb_class_registration_##class_name(RUNTIME_CLASS(class_name));

#define IMPLEMENT_DYNAMIC(class_name, base_class_name) \
    QB_IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, nullptr)

#define IMPLEMENT_DYNCREATE(class_name, base_class_name)                 \
    CObject* class_name::CreateObject() { return new class_name; }       \
    QB_IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, class_name::CreateObject)

#define IMPLEMENT_SERIAL(class_name, base_class_name, wSchema)                               \
    CObject* class_name::CreateObject() { return new class_name; }                           \
    QB_IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, wSchema, class_name::CreateObject) \
    CArchive& operator>>(CArchive& ar, class_name*& pOb)                                      \
    {                                                                                         \
        pOb = static_cast<class_name*>(ar.ReadObject(RUNTIME_CLASS(class_name)));             \
        return ar;                                                                            \
    }

// An opaque place in a CObList.
struct CObListPosition;
using POSITION = CObListPosition*;

// A doubly linked list of object pointers. It does not own the objects: whoever fills the
// list deletes them. POSITIONs stay valid until their own element is removed.
class CObList : public CObject {
    DECLARE_DYNAMIC(CObList)

private:
    struct CNode {
        CNode* pNext;
        CNode* pPrev;
        CObject* data;
    };

public:
    CObList() = default;
    ~CObList() override;
    CObList(const CObList&) = delete;
    CObList& operator=(const CObList&) = delete;

    qsizetype GetCount() const { return m_nCount; }
    qsizetype GetSize() const { return m_nCount; }
    bool IsEmpty() const { return m_nCount == 0; }

    // The list must not be empty.
    CObject*& GetHead();
    CObject* GetHead() const;
    CObject*& GetTail();
    CObject* GetTail() const;
    CObject* RemoveHead();
    CObject* RemoveTail();

    POSITION AddHead(CObject* newElement);
    POSITION AddTail(CObject* newElement);
    void AddHead(CObList* pNewList);
    void AddTail(CObList* pNewList);
    void RemoveAll();

    POSITION GetHeadPosition() const { return Pos(m_pHead); }
    POSITION GetTailPosition() const { return Pos(m_pTail); }
    // The element at rPosition; rPosition moves on to the next one or null.
    CObject*& GetNext(POSITION& rPosition);
    CObject* GetNext(POSITION& rPosition) const;
    CObject*& GetAt(POSITION position);
    CObject* GetAt(POSITION position) const;
    void SetAt(POSITION pos, CObject* newElement);
    void RemoveAt(POSITION position);
    POSITION InsertBefore(POSITION position, CObject* newElement);
    POSITION InsertAfter(POSITION position, CObject* newElement);

    // The first place of the element after startAfter (or from the head), or null.
    POSITION Find(const CObject* searchValue, POSITION startAfter = nullptr) const;
    // The place of the element at a 0-based index, or null when out of range.
    POSITION FindIndex(qsizetype nIndex) const;
    // Removes the first occurrence of the element; false when it is not in the list.
    bool Remove(const CObject* element);

    // Stores the count and one object reference per element, head to tail. Loading appends
    // the elements read; a null or repeated element is refused (badIndex), because the
    // program's lists own their objects and would delete them twice. Elements read before a
    // failure stay in the list for the caller to delete.
    void Serialize(CArchive& ar) override;

    template <typename Ref>
    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = CObject*;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = Ref;

        Iterator() = default;
        explicit Iterator(CNode* node) : m_node(node) {}
        Ref operator*() const { return m_node->data; }
        Iterator& operator++() { m_node = m_node->pNext; return *this; }
        Iterator operator++(int) { Iterator old = *this; ++*this; return old; }
        friend bool operator==(const Iterator&, const Iterator&) = default;

    private:
        CNode* m_node = nullptr;
    };
    using iterator = Iterator<CObject*&>;
    using const_iterator = Iterator<CObject*>;
    iterator begin() { return iterator(m_pHead); }
    iterator end() { return iterator(); }
    const_iterator begin() const { return const_iterator(m_pHead); }
    const_iterator end() const { return const_iterator(); }

private:
    static POSITION Pos(CNode* node) { return reinterpret_cast<POSITION>(node); }
    static CNode* Node(POSITION pos) { return reinterpret_cast<CNode*>(pos); }
    CNode* NewNode(CNode* pPrev, CNode* pNext, CObject* data);
    void Unlink(CNode* node);

    CNode* m_pHead = nullptr;
    CNode* m_pTail = nullptr;
    qsizetype m_nCount = 0;
};
