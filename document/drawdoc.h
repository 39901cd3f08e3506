#pragma once
// The label document: one label design with its objects, the sheet the label is repeated on,
// the data-source settings, the zoom of its views, the paper colour, the summary information
// and the counters that number the default names of new objects.
//
// A document is stored as a compound file: the stream "Contents" holds the document record,
// the object list and the list of embedded items; "\x05SummaryInformation" the summary; one
// sub-storage per embedded item its own data. Sheet lengths are floats in tenths of a
// millimetre.

#include "document/printdatagrid.h"
#include "document/summinfo.h"
#include "framework/document.h"
#include "framework/geometry.h"

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

class CArchive;
class CDrawItem;
class CDrawObj;
class CDrawViewBase;
class CStorage;
class CDC;
struct CPrintInfo;

// The choices of the database set-up wizard, kept by the document from one run of the wizard
// to the next (and not stored with it): the kind of source (0 a data file, 1 an ODBC data
// source), the file, the connection string, the table, the data source name and the sort
// fields in order with their directions (0 ascending, 1 descending).
struct CDBSortEntry {
    CString field;
    int direction = 0;
    bool operator==(const CDBSortEntry&) const = default;
};
struct CDBSetupState {
    int kind = 0;
    CString dataFilePath;
    CString connection;
    CString table;
    CString dataSourceName;
    std::vector<CDBSortEntry> sortList;
};

// One label cell of a sheet: its rectangle in the choosing preview and whether it is printed.
struct CSelectTag {
    CRect rect;
    BOOL chosen = FALSE;
};

class CDrawDoc : public CDocument {
    DECLARE_DYNCREATE(CDrawDoc)
public:
    // The only version written; files of versions 1 to 3 and the older form whose first word is
    // the paper colour white are read too.
    static constexpr DWORD kFileVersion = 4;
    static constexpr int kMinZoom = 50;
    static constexpr int kMaxZoom = 1600;
    static constexpr int kZoomStep = 25;
    static constexpr COLORREF kLegacyMark = 0x00FFFFFF;

    CDrawDoc();
    ~CDrawDoc() override;

    void Serialize(CArchive& ar) override;
    BOOL OnNewDocument() override;
    BOOL OnOpenDocument(const CString& path) override;
    BOOL OnSaveDocument(const CString& path) override;
    // Writes the document as it stands into a file of its own (a copy sent by mail): the
    // document's path, modified flag and summary stay as they were. FALSE, with GetErrorText
    // set, when the file could not be written.
    BOOL SaveCopy(const CString& path);
    void DeleteContents() override;

    // Sheet. None of the setters marks the document modified; their callers do.
    float* GetPaperSize() { return m_paperSize.data(); }
    void SetPaperSize(const float* size) { m_paperSize = {size[0], size[1]}; }
    int GetPaperCode() const { return m_nPaperCode; }
    void SetPaperCode(int code) { m_nPaperCode = code; }
    float* GetLabelSize() { return m_labelSize.data(); }
    void SetLabelSize(const float* size);
    // The label size as the editing view shows it: a stored length that is no number counts as
    // 0, one beyond kMaxSheetLength either way as that length.
    std::array<float, 2> GetShownLabelSize() const;
    // Whether the stored label size is two numbers within kMaxSheetLength either way.
    BOOL IsLabelSizeInLimits() const;
    float* GetLabelGap() { return m_labelGap.data(); }
    void SetLabelGap(const float* gap) { m_labelGap = {gap[0], gap[1]}; }
    int* GetLabelGrid() { return m_labelGrid.data(); }
    void SetLabelGrid(const int* grid) { m_labelGrid = {grid[0], grid[1]}; }
    void GetMargins(float* left, float* top, float* right, float* bottom) const;
    void SetMargins(float left, float top, float right, float bottom);
    // Whether the sheet can be printed: every length a number within kMaxSheetLength either way,
    // the paper larger than nothing, no label size below 0, and 1 to kMaxSheetCells columns and
    // rows. A file can hold anything; a sheet that fails is refused, never printed.
    BOOL IsPrintableSheet() const;
    int GetOrientation() const { return m_nOrientation; }
    // Also turns the application's default printer when the document names a printer.
    void SetOrientation(int orientation);
    const CString& GetPrinterName() const { return m_strPrinter; }
    void SetPrinterName(const CString& name) { m_strPrinter = name; }
    BOOL GetAutoGap() const { return m_bAutoGap; }
    void SetAutoGap(BOOL on) { m_bAutoGap = on; }
    BOOL GetAutoLabelSize() const { return m_bAutoLabelSize; }
    void SetAutoLabelSize(BOOL on) { m_bAutoLabelSize = on; }
    COLORREF GetPaperColor() const { return m_paperColor; }
    void SetPaperColor(COLORREF color) { m_paperColor = color; }
    // Non-zero means the label size is taken as inches; kept as stored.
    const std::array<BYTE, 4>& GetReservedWord() const { return m_reserved; }
    void SetReservedWord(const std::array<BYTE, 4>& word) { m_reserved = word; }
    int GetMapMode() const { return m_nMapMode; }
    // The canvas in logical units, (-15360, -15360, 46080, 46080) for the default canvas.
    void GetCanvasRect(CRect* rect) const;
    void SetCanvasSize(int width, int height) { m_canvas = {width, height}; }
    // In hundredths of an inch.
    CSize GetCanvasSize() const { return CSize(m_canvas[0], m_canvas[1]); }
    int GetLabelsToPrint() const { return m_nLabelsToPrint; }
    void SetLabelsToPrint(int n) { m_nLabelsToPrint = n; }
    std::vector<CSelectTag>& GetSelectTags() { return m_selectTags; }

    // Data source.
    const CString& GetTableName() const { return m_strTable; }
    void SetTableName(const CString& s) { m_strTable = s; }
    const CString& GetQuery() const { return m_strQuery; }
    void SetQuery(const CString& s) { m_strQuery = s; }
    const CString& GetConnectionString() const { return m_strConnection; }
    void SetConnectionString(const CString& s) { m_strConnection = s; }
    const CString& GetDataFilePath() const { return m_strDataFile; }
    void SetDataFilePath(const CString& s) { m_strDataFile = s; }
    const CString& GetDataSourceName() const { return m_strDataSource; }
    void SetDataSourceName(const CString& s) { m_strDataSource = s; }
    const std::array<BYTE, 4>& GetDataSourceKind() const { return m_dataSourceKind; }
    void SetDataSourceKind(const std::array<BYTE, 4>& kind) { m_dataSourceKind = kind; }
    // Handed once to the data grid with the query, then reset; written as 0.
    int TakePendingQueryArgument() { return std::exchange(m_nPendingQueryArg, 0); }
    void SetPendingQueryArgument(int n) { m_nPendingQueryArg = n; }
    // Table name to its field names, as the database tree last listed them; not stored.
    using SchemaMap = std::map<CString, std::vector<CString>>;
    SchemaMap& GetSchemaMap() { return m_schemaMap; }
    const SchemaMap& GetSchemaMap() const { return m_schemaMap; }
    // What the database set-up wizard last chose; a stored label starts with nothing chosen.
    CDBSetupState& GetDBSetupState() { return m_dbSetup; }

    // Print data. The grid of the query's records, made on first use by the installed maker
    // and kept for the life of the document.
    CPrintDataGrid* GetPrintDataGrid();
    // Reduces the grid to the ticked records and returns their number: from an all-checked start
    // the changed rows whose box is off are removed; from an unchecked start the grid is
    // replaced by copies of the changed rows whose box is on, in row-id order.
    int FillPrintDataGrid();
    // While a print job runs, bound objects print the records of the grid as it stood when the
    // job began (row i on label i), when it then held the records of the document's source.
    void BeginPrintRecords();
    void EndPrintRecords() { m_pJobRecords = nullptr; }
    const CPrintDataGrid* GetPrintRecords() const { return m_pJobRecords; }

    // Objects, head (bottom) to tail (top). The document owns them.
    const std::vector<CDrawObj*>& GetObjects() const { return m_objects; }
    void Add(CDrawObj* obj);
    // Puts the objects in a new drawing order; anything but the same objects is ignored.
    void SetObjectOrder(const std::vector<CDrawObj*>& objects);
    // Takes the object out of the list (without deleting it) and out of every view's selection.
    void Remove(CDrawObj* obj);
    // The topmost object under the logical point, or NULL.
    CDrawObj* FindObjectAtPoint(CPoint point) const;

    // Pictures. The pixels of all pictures of a label together may take kMaxPictureMemory; a
    // picture beyond that is not loaded (its object keeps its stored bytes and says why).
    // GetPictureMemoryLeft answers what is left; while a list of objects is read, the pictures
    // read so far count too, as each takes its share with UsePictureMemory.
    static constexpr long long kMaxPictureMemory = 512LL << 20;
    long long GetPictureMemoryLeft() const;
    void UsePictureMemory(long long bytes);
    // The work of drawing the drawn pictures (metafiles) read with one list of objects is
    // bounded together too, at four times what one picture may cost (RASTER_MAX_DRAW_WORK), so
    // that no label, however many such pictures it holds, keeps its reader busy for long; a
    // picture beyond that is not loaded. Each takes what it spent with UsePictureWork. Work is
    // spent only when a picture is read: outside a read all of it is left.
    static constexpr double kMaxPictureWork = 4.0 * (1 << 28);
    double GetPictureWorkLeft() const { return m_pictureWorkLeft >= 0 ? m_pictureWorkLeft : kMaxPictureWork; }
    void UsePictureWork(double work);
    // What of the objects could not be loaded (pictures not shown, and why), one line each; the
    // first 20, and an ellipsis when there are more.
    QStringList GetLoadProblems() const;

    // Embedded items, owned by the document; each belongs to at most one object.
    const std::vector<CDrawItem*>& GetItems() const { return m_items; }
    void AddItem(CDrawItem* item);
    void RemoveItem(CDrawItem* item);
    // A number no other item of the document uses, naming the item's sub-storage.
    DWORD NextItemNumber() const;
    // The root storage while the document is stored (loaded), else NULL.
    CStorage* GetStoreStorage() const { return m_pStoreRoot; }
    const CStorage* GetLoadStorage() const { return m_pLoadRoot; }

    // Default names of new objects: 1 for the first text object, 1 for the first code object.
    int GetNextTextNumber() { return ++m_nTextCounter; }
    int GetNextCodeNumber() { return ++m_nCodeCounter; }
    void DecrementCodeNumber();
    void DecrementTextNumber();

    // Views.
    CDrawViewBase* GetDrawView() const;

    // Drawing. Draw paints every object, head to tail, as label 0, with the selection marks of
    // an active view on screen. PrintPage draws one sheet of labels into a prepared printer
    // context (window extent 1536): cell by cell, row by row, every object moved into its cell
    // and drawn with the cell's label index. `unprintable` holds the printer's margins in device
    // pixels, taken off in print and preview alike. A sheet that is not printable draws nothing.
    // ResetPrinting restores the default canvas.
    void Draw(CDC* dc, CDrawViewBase* view);
    void PrintPage(CDC* dc, const CPrintInfo* info, CDrawViewBase* view, const CRect* unprintable,
                   BOOL preview, const CRect* drawRect);
    void ResetPrinting() { m_canvas = {4000, 4000}; }

    // Zoom in percent. While a print preview shows the document the zoom reads as 100.
    int GetZoom() const { return m_bInPrintPreview ? 100 : m_nZoom; }
    // Applies the zoom to every editing view, gives the view the focus and shows the zoom in
    // the zoom box; callers clamp it.
    void SetZoom(int percent);
    void OnZoom100() { SetZoom(100); }
    void OnZoomIn() { SetZoom(std::min(m_nZoom + kZoomStep, kMaxZoom)); }
    void OnZoomOut() { SetZoom(std::max(m_nZoom - kZoomStep, kMinZoom)); }
    // The zoom box's text: its leading whole number (0 when there is none), clamped.
    void OnZoomSelEndOk(const QString& text);
    void SetInPrintPreview(BOOL preview) { m_bInPrintPreview = preview; }
    // Shows a document's zoom in the program's zoom box; the application installs it.
    static std::function<void(const CDrawDoc* doc, int percent)> c_showZoom;

    // The label wizard on this document: the whole wizard for a new document (bNew), the
    // sheet of its layout for an existing one. It returns ID_WIZFINISH or IDOK when the layout
    // was copied back, kWizardOpenFile when the user chose to open a label file instead (its
    // path in *openPath, which the caller opens), anything else when cancelled. The user
    // interface installs the runner; without one nothing changes and the result is
    // ID_WIZFINISH.
    static constexpr int kWizardOpenFile = 12425;
    int RunLabelWizard(BOOL bNew, CString* openPath = nullptr);
    static std::function<int(CDrawDoc* doc, BOOL bNew, CString* openPath)> c_labelWizard;

    CSummInfo* GetSummInfo() const { return m_pSummInfo.get(); }

    // The archive alone, without summary or item storages.
    QByteArray StoreContents();
    // Loads an archive over this document; throws CArchiveException on malformed input.
    void LoadContents(const QByteArray& bytes);
    // Objects archived exactly as the document archives its own object list (the clipboard's
    // form), and read back as new objects of this document that are not yet in its list.
    // Bytes after the list are ignored. Malformed input throws CArchiveException and leaves
    // nothing behind.
    QByteArray StoreObjectList(const std::vector<CDrawObj*>& objects);
    std::vector<CDrawObj*> LoadObjectList(const QByteArray& bytes);
    // Loads the whole document from a compound file's root storage: FALSE, with the document
    // emptied and GetErrorText set, when it is malformed.
    BOOL LoadFromStorage(const CStorage& root);
    // Writes the whole document into an empty root storage; FALSE with GetErrorText set on
    // failure.
    BOOL StoreToStorage(CStorage& root);

    static QString ContentsStreamName() { return QStringLiteral("Contents"); }

private:
    void ResetFields();
    void ReadLegacy(CArchive& ar);
    void ReadVersion1(CArchive& ar);
    void ReadVersion2(CArchive& ar);
    void ReadVersion3(CArchive& ar);
    void ReadVersion4(CArchive& ar);
    void ReadSheet(CArchive& ar, DWORD version);
    void ReadOrientation(CArchive& ar);
    void SerializeObjects(CArchive& ar);
    static void WriteObjectList(CArchive& ar, const std::vector<CDrawObj*>& objects);
    void ReadObjectList(CArchive& ar, std::vector<CDrawObj*>& objects);
    void SerializeItems(CArchive& ar);

    int m_nZoom = 100;
    BOOL m_bInPrintPreview = FALSE;
    int m_nLabelsToPrint = 1;
    std::unique_ptr<CSummInfo> m_pSummInfo;
    CString m_strTable;
    std::vector<CSelectTag> m_selectTags;
    std::vector<CDrawObj*> m_objects;
    std::array<float, 2> m_paperSize {};
    int m_nPaperCode = 9;
    std::array<float, 2> m_labelSize {};
    std::array<float, 2> m_labelGap {};
    std::array<float, 4> m_margins {};
    std::array<int, 2> m_labelGrid {};
    std::array<int, 2> m_canvas {};
    BOOL m_bAutoGap = TRUE;
    BOOL m_bAutoLabelSize = TRUE;
    int m_nMapMode = 8;
    COLORREF m_paperColor = 0xFFFFFF;
    std::array<BYTE, 4> m_reserved {};
    int m_nOrientation = 1;
    CString m_strPrinter;
    int m_nPendingQueryArg = 0;
    CString m_strQuery;
    CString m_strConnection;
    CString m_strDataFile;
    CString m_strDataSource;
    std::array<BYTE, 4> m_dataSourceKind {};
    SchemaMap m_schemaMap;
    CDBSetupState m_dbSetup;
    std::unique_ptr<CPrintDataGrid> m_pPrintData;
    const CPrintDataGrid* m_pJobRecords = nullptr;
    long long m_pictureMemoryLeft = -1;  // while a list is read; -1 otherwise
    double m_pictureWorkLeft = -1;       // while a list is read; -1 otherwise
    int m_nTextCounter = 0;
    int m_nCodeCounter = 0;
    std::vector<CDrawItem*> m_items;
    CStorage* m_pStoreRoot = nullptr;
    const CStorage* m_pLoadRoot = nullptr;
};
