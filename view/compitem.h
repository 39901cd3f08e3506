#pragma once
// Palette entries: the data of each leaf of the palette trees, knowing which label object it
// makes when it is dragged onto the editing view.

#include "framework/object.h"
#include "framework/types.h"

class CDrawObj;
class CDrawView;

class CCompItem : public CObject {
public:
    explicit CCompItem(const CRuntimeClass* objectClass) : m_pObjectClass(objectClass) {}
    // The new object, not yet in any document, or null.
    virtual CDrawObj* CreateDrawObj(CDrawView* view) = 0;

    const CRuntimeClass* m_pObjectClass;
};

// A text object; kind 1 makes its font follow the box.
class CTextCompItem : public CCompItem {
public:
    CTextCompItem(const CRuntimeClass* objectClass, int kind)
        : CCompItem(objectClass), m_nKind(kind) {}
    CDrawObj* CreateDrawObj(CDrawView* view) override;

    int m_nKind;
};

// A barcode of one symbology (0 to 13), showing "12345678".
class CBarcodeCompItem : public CCompItem {
public:
    CBarcodeCompItem(const CRuntimeClass* objectClass, int symbology)
        : CCompItem(objectClass), m_nSymbology(symbology) {}
    CDrawObj* CreateDrawObj(CDrawView* view) override;

    int m_nSymbology;
};

// A QR Code, PDF417 or Data Matrix object (by its class), showing "12345678".
class CCode2DCompItem : public CCompItem {
public:
    explicit CCode2DCompItem(const CRuntimeClass* objectClass) : CCompItem(objectClass) {}
    CDrawObj* CreateDrawObj(CDrawView* view) override;
};
