#pragma once
// Drawing-object descriptions and the pens, brushes and fonts the drawing code selects into a
// device context. An object here is only its description: a device context copies the
// description when the object is selected, so destroying an object while it is selected is harmless.

#include "framework/geometry.h"
#include "framework/types.h"

// Pen styles
constexpr UINT PS_SOLID = 0;
constexpr UINT PS_DASH = 1;
constexpr UINT PS_DOT = 2;
constexpr UINT PS_NULL = 5;
constexpr UINT PS_INSIDEFRAME = 6;

// Brush styles
constexpr UINT BS_SOLID = 0;
constexpr UINT BS_NULL = 1;

// Stock objects
constexpr int WHITE_BRUSH = 0;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
constexpr int SYSTEM_FONT = 13;

// Font description values
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE PROOF_QUALITY = 2;
constexpr BYTE FIXED_PITCH = 1;
constexpr int LF_FACESIZE = 32;

struct LOGPEN {
    UINT lopnStyle = PS_SOLID;
    CPoint lopnWidth;  // only x is used
    COLORREF lopnColor = 0;
};
static_assert(sizeof(LOGPEN) == 16);

struct LOGBRUSH {
    UINT lbStyle = BS_SOLID;
    COLORREF lbColor = 0;
    DWORD lbHatch = 0;
};
static_assert(sizeof(LOGBRUSH) == 12);

struct LOGFONTW {
    LONG lfHeight = 0;
    LONG lfWidth = 0;
    LONG lfEscapement = 0;
    LONG lfOrientation = 0;
    LONG lfWeight = 0;
    BYTE lfItalic = 0;
    BYTE lfUnderline = 0;
    BYTE lfStrikeOut = 0;
    BYTE lfCharSet = 0;
    BYTE lfOutPrecision = 0;
    BYTE lfClipPrecision = 0;
    BYTE lfQuality = 0;
    BYTE lfPitchAndFamily = 0;
    char16_t lfFaceName[LF_FACESIZE] = {};
};
static_assert(sizeof(LOGFONTW) == 92, "the stored form of a font description is 92 bytes");

struct TEXTMETRICW {
    LONG tmHeight = 0;
    LONG tmAscent = 0;
    LONG tmDescent = 0;
    LONG tmInternalLeading = 0;
    LONG tmExternalLeading = 0;
    LONG tmAveCharWidth = 0;
    LONG tmMaxCharWidth = 0;
    LONG tmWeight = 0;
};

// The face name of a description (up to the first NUL, never past the array).
CString FaceNameOf(const LOGFONTW& lf);
// Stores a face name, truncated to 31 characters and NUL-terminated.
void SetFaceName(LOGFONTW& lf, const CString& face);

// The installed face that stands in for a face name of the original platform: the Ming faces to
// AR PL UMing, the common Windows faces to their metric-compatible Liberation faces, any other face
// to itself when installed, else Liberation Sans.
CString SubstituteFaceName(const CString& face);

class CGdiObject {
public:
    enum class Kind { Pen, Brush, Font };

    virtual ~CGdiObject() = default;
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    Kind GetKind() const { return m_kind; }
    // Non-null while the object holds a description.
    const void* GetSafeHandle() const { return m_created ? this : nullptr; }
    bool IsStock() const { return m_stock; }
    // Stock objects stay valid whatever is deleted.
    BOOL DeleteObject();

protected:
    explicit CGdiObject(Kind kind) : m_kind(kind) {}
    void MarkCreated() { m_created = true; }
    bool m_created = false;

private:
    friend CGdiObject* GetStockObjectPtr(int);
    Kind m_kind;
    bool m_stock = false;
};

class CPen : public CGdiObject {
public:
    CPen() : CGdiObject(Kind::Pen) {}
    CPen(int style, int width, COLORREF colour) : CPen() { CreatePen(style, width, colour); }
    BOOL CreatePen(int style, int width, COLORREF colour);
    BOOL CreatePenIndirect(const LOGPEN* pen);
    int GetLogPen(LOGPEN* pen) const;
    const LOGPEN& Desc() const { return m_desc; }

private:
    LOGPEN m_desc;
};

class CBrush : public CGdiObject {
public:
    CBrush() : CGdiObject(Kind::Brush) {}
    explicit CBrush(COLORREF colour) : CBrush() { CreateSolidBrush(colour); }
    BOOL CreateSolidBrush(COLORREF colour);
    BOOL CreateBrushIndirect(const LOGBRUSH* brush);
    int GetLogBrush(LOGBRUSH* brush) const;
    const LOGBRUSH& Desc() const { return m_desc; }

private:
    LOGBRUSH m_desc;
};

class CFont : public CGdiObject {
public:
    CFont() : CGdiObject(Kind::Font) {}
    BOOL CreateFontIndirect(const LOGFONTW* font);
    BOOL CreateFontIndirectW(const LOGFONTW* font) { return CreateFontIndirect(font); }
    int GetLogFont(LOGFONTW* font) const;
    const LOGFONTW& Desc() const { return m_desc; }

private:
    LOGFONTW m_desc;
};

// The process-wide stock object of an index, or nullptr for an unknown index.
CGdiObject* GetStockObjectPtr(int index);
// The description of the font a device context starts with.
LOGFONTW DefaultLogFont();
