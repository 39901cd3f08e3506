#pragma once
// QR Code (Model 2, versions 1 to 40, levels L, M, Q, H): bytes to a module matrix.
//
// The positions of the data modules, the mask patterns, the block structure, the function
// patterns and the Reed-Solomon generator products are precomputed tables of type "QRCODE" in
// the resource module, zlib-compressed; CQRCodeResourceManager inflates each once per process.

#include "framework/geometry.h"
#include "framework/object.h"
#include "framework/types.h"

#include <QByteArray>
#include <map>
#include <mutex>
#include <vector>

class CDC;

class CQRCodeEncoder : public CObject {
    DECLARE_DYNAMIC(CQRCodeEncoder)
public:
    // Error-correction levels as stored (EC level field).
    enum { LevelL = 0, LevelM = 1, LevelQ = 2, LevelH = 3 };
    // Data modes as stored; any other value is 8-bit byte mode.
    enum { ModeAlphanumeric = 0, ModeNumeric = 1, ModeByte = 2 };

    // One column per module x (outer index), one bit per row y; true is dark.
    using Matrix = std::vector<std::vector<bool>>;

    CQRCodeEncoder();
    ~CQRCodeEncoder() override;

    // Sets the structured-append header when total is 2..16, position 1..16 and parity 0..255;
    // otherwise nothing changes.
    virtual void SetStructuredAppend(int position, UINT total, UINT parity);
    // -1 for fewer than 2 bytes, else the XOR of all bytes.
    virtual int CalcParity(const std::vector<BYTE>& bytes);
    // Builds the symbol of the bytes, or returns the last one when neither the bytes nor the
    // settings changed. Empty when the bytes do not fit version 40 (Overflowed() then is true)
    // or a table is missing or damaged.
    virtual const Matrix& Encode(const std::vector<BYTE>& bytes);
    // Paints the symbol of text (in the code page) into rect: one black rectangle per
    // horizontal run of dark modules, light modules left unpainted.
    virtual void Draw(CDC* pDC, const CString& text, const CRect& rect);

    // (side, side) of the text's symbol in modules; an empty text stands for "<EMPTY>". 0 x 0
    // when nothing fits.
    CSize GetSymbolSize(const CString& text);
    // Forgets the symbol; the next Encode builds anew.
    void Clear();

    // True when the last Encode found the data too long for version 40 at the level.
    bool Overflowed() const { return m_overflow; }
    const Matrix& GetMatrix() const { return m_matrix; }
    // The mask of the last symbol built (0..7), -1 before any.
    int GetMask() const { return m_mask; }
    // Chooses the mask instead of scoring them (0..7); -1 scores (the default). For checks.
    void SetForcedMask(int mask) { m_forcedMask = mask; }

    // Fixed tables of the symbology, by version 1..40 and level index (the level's two-bit
    // indicator: 0 M, 1 L, 2 H, 3 Q); 0 or nullptr outside them.
    static int DataCapacityBits(int version, int levelIndex);
    static int TotalCodewords(int version);
    static int RemainderBits(int version);
    // The format string of level index x 8 + mask (index 0..31), most significant bit first.
    static const char* FormatString(int index);
    // True when an inflated "IDR_QRV" table of the version and level index has its layout:
    // its length, block totals that add up to the version's codewords and to the level's data
    // codewords, and every coordinate inside the symbol.
    static bool IsValidLayout(int version, int levelIndex, const BYTE* table, std::size_t size);

    int GetLevel() const { return m_nLevel; }
    void SetLevel(int level) { m_nLevel = level; }
    int GetDataMode() const { return m_nDataMode; }
    void SetDataMode(int mode) { m_nDataMode = mode; }
    int GetVersion() const { return m_nVersion; }
    void SetVersion(int version) { m_nVersion = version; }
    int GetStructuredAppendTotal() const { return m_nSATotal; }
    int GetStructuredAppendPosition() const { return m_nSAPosition; }
    int GetStructuredAppendParity() const { return m_nSAParity; }
    // Stores the three values as read from a document, unchecked; a symbol writes the header
    // only when they fit their bit fields.
    void SetStoredStructuredAppend(int total, int position, int parity);
    COLORREF GetBackColor() const { return m_crBack; }
    void SetBackColor(COLORREF c) { m_crBack = c; }
    COLORREF GetForeColor() const { return m_crFore; }
    void SetForeColor(COLORREF c) { m_crFore = c; }
    int GetModuleSize() const { return m_nModuleSize; }
    void SetModuleSize(int size) { m_nModuleSize = size; }
    int GetReservedFlag() const { return m_nReserved; }
    void SetReservedFlag(int flag) { m_nReserved = flag; }
    UINT GetCodePage() const { return m_nCodePage; }
    void SetCodePage(UINT codePage) { m_nCodePage = codePage; }
    CString GetTag() const { return m_strTag; }
    void SetTag(const CString& tag) { m_strTag = tag; }

private:
    int m_nLevel = LevelM;
    int m_nDataMode = ModeByte;
    int m_nVersion = 0;
    int m_nSATotal = 0;
    int m_nSAPosition = 0;
    int m_nSAParity = 0;
    COLORREF m_crBack = 0xFFFFFF;
    COLORREF m_crFore = 0x000000;
    int m_nModuleSize = 25;
    int m_nReserved = 1;
    UINT m_nCodePage = 65001;
    CString m_strTag;
    Matrix m_matrix;
    CString m_strDrawn;

    // What the matrix was built from: the bytes and the settings that shape the symbol.
    std::vector<BYTE> m_built;
    std::vector<int> m_builtSettings;
    bool m_haveBuilt = false;
    bool m_overflow = false;
    int m_mask = -1;
    int m_forcedMask = -1;

    std::vector<int> Settings() const;
    bool Build(const std::vector<BYTE>& bytes);
};

// The inflated "QRCODE" tables, each inflated once and kept for the life of the process.
class CQRCodeResourceManager : public CObject {
    DECLARE_DYNAMIC(CQRCodeResourceManager)
public:
    struct Entry {
        UINT size = 0;
        const BYTE* buffer = nullptr;
    };

    static CQRCodeResourceManager& GetInstance();

    // TRUE with entry set to the inflated table; FALSE when the resource is missing or its
    // stream is damaged.
    BOOL GetResource(const CString& name, Entry*& entry);
    // Empties the cache (entries handed out before become invalid). For measuring cold starts.
    void ClearCache();

private:
    CQRCodeResourceManager() = default;
    std::mutex m_lock;
    std::map<CString, std::pair<Entry, QByteArray>> m_cache;
};

// Inflates one zlib stream; false (out emptied) when the stream is damaged, truncated, followed
// by other bytes, or inflates to more than limit bytes.
bool InflateBytes(const QByteArray& in, QByteArray& out, qsizetype limit = 16 << 20);
// Inflates the zlib stream of file source into file destination. The destination is written
// beside itself and renamed into place when the stream ended cleanly, so it never holds half
// a result.
BOOL InflateFile(const CString& source, const CString& destination);
