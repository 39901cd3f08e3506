#pragma once
// The editing view of a label document. It maps the label's logical units (1/1536 inch) to the
// screen at the document's zoom, paints through an off-screen picture (grey surroundings, drop
// shadow, white label face, 1 cm grid, the objects and the selection marks), draws millimetre
// rulers along its top and left edges, keeps the selection, mirrors the text and barcode
// objects in the object tree of its frame, and passes the mouse to the tool of the current
// drawing shape. All drawing goes through CDC.

#include "framework/geometry.h"
#include "framework/gdi.h"
#include "framework/types.h"
#include "framework/ui/cmdtarget.h"
#include "objects/drawviewbase.h"

#include <QAbstractScrollArea>
#include <QCursor>
#include <QPointer>
#include <memory>
#include <optional>
#include <vector>

class CCommandRouter;
class CCompItem;
class CDC;
class CRasterImage;
class CDrawDoc;
struct CPrintInfo;
class CDrawObj;
#include <QTreeWidget>

// Hints of OnUpdate.
enum ViewHint {
    kHintRepaint = 0,
    kHintObjectChanged = 1,
    kHintSelection = 2,
    kHintDeleted = 3,
    kHintOleItems = 4,
};

// A list of objects handed as the hint object of OnUpdate (hints 2 and 3).
class CDrawObjList : public CObject {
public:
    std::vector<CDrawObj*> objects;
};

// What the user is told when a label was printed without some of what it holds (`omitted`, one
// line each), and when it was opened with some of its objects not loaded (`problems`).
CString PrintedIncompleteText(const CString& title, const QStringList& omitted);
CString OpenedIncompleteText(const CString& title, const QStringList& problems);

class CDrawView : public QAbstractScrollArea, public CCmdTarget, public CDrawViewBase {
    Q_OBJECT
public:
    static constexpr int kRulerWidth = 16;
    static constexpr int kLogicalPerInch = 1536;
    static constexpr int kLabelOffset = 15360;  // the label's corner lies ten inches in
    static constexpr int kRedrawTimerMs = 80;

    explicit CDrawView(QWidget* parent = nullptr);
    ~CDrawView() override;

    // Shows the document (and registers with it); the scroll sizes follow its zoom.
    void AttachDocument(CDrawDoc* doc);
    CDrawDoc* GetDocument() const;

    // Mapping. OnPrepareDC sets the label mapping on a context: on screen the label's corner is
    // ten inches (at the zoom) plus the ruler width from the scroll origin.
    void OnPrepareDC(CDC* dc) const;
    int GetViewportExtent() const;
    int GetScreenDpi() const;
    CPoint DocToClient(CPoint logical) const override;
    CPoint ClientToDoc(CPoint client) const override;
    CRect DocToClient(const CRect& logical) const;
    CRect ClientToDoc(const CRect& client) const;
    // A context measuring as the screen does, prepared with the view's mapping.
    std::unique_ptr<CDC> CreateClientDC() override;
    // Used by picture export: 1536 logical units become `extent` pixels while it is on.
    void SetFixedViewportExtent(BOOL on, int extent = 300);
    // The zoom the view last applied.
    int Zoom() const { return m_nLastZoom; }

    // Scrolling and zoom.
    void OnInitialUpdate();
    void ApplyZoom(int percent) override;
    void SetFocus() override;
    BOOL OnScrollBy(CSize size, BOOL doScroll = TRUE);
    CPoint GetScrollPosition() const;
    void ScrollToPosition(CPoint position);
    CSize GetTotalSize() const { return m_totalSize; }
    // Scrolls so that the label sits in the middle of the window.
    void OnCenterLabel();

    // Drawing. Paint repaints an area of the client through an off-screen picture, rulers and
    // marks included; OnDraw draws the label into a prepared context.
    void Paint(QPainter& painter, const QRect& area);
    void OnDraw(CDC* dc);
    void DrawGrid(CDC* dc);
    void DrawRulers(CDC* dc);
    // Printing through the print road. OnPreparePrinting gives the application's printer the
    // document's paper and orientation, asks for the count (unless the job is direct or a
    // preview) and tells the number of pages; a sheet without columns or rows prints nothing.
    BOOL OnPreparePrinting(CPrintInfo* info) override;
    // A job begins with the default canvas and, when its count came from the print or preview
    // dialog, takes the document's print records; it lets them go when it ends.
    void OnBeginPrinting(CDC* dc, CPrintInfo* info) override;
    void OnEndPrinting(CDC* dc, CPrintInfo* info) override;
    void OnPrepareDC(CDC* dc, CPrintInfo* info) override;
    // Prints one page of labels through the document's page printer. Unless previewing, the
    // document records the time as last printed.
    void OnPrint(CDC* dc, CPrintInfo* info) override;
    // Commands 57607 and 57609. A sheet that cannot be printed is refused with the text of a
    // layout that does not fit (strings 21 to 23).
    void OnFilePrint();
    void OnFilePrintPreview();
    // TRUE when the document's sheet can be printed (CDrawDoc::IsPrintableSheet).
    BOOL CanPrintSheet() const;
    // The count both print dialogs start from; it takes the document's count after them.
    int m_nLabelsToPrint = 1;
    // The count the pages were worked out from.
    int m_nPrintedLabels = 0;
    // The printer's unprintable margins in device pixels.
    static void GetPrintableMargins(CDC* dc, CRect* margins);
    BOOL m_bPreview = FALSE;
    CRect m_rectPrint;
    BOOL m_bGrid = TRUE;
    COLORREF m_gridColor = RGB(220, 220, 220);

    // Selection, in selection order; the view does not own the objects.
    const std::vector<CDrawObj*>& GetSelection() const { return m_selection; }
    void Select(CDrawObj* obj, BOOL add = FALSE);
    void SelectInRect(CRect client, BOOL add);
    void Deselect(CDrawObj* obj) override;
    BOOL IsSelected(const CObject* obj) const override;
    BOOL IsActiveView() const override { return m_bActive; }
    void InvalidateSelection(CDrawObj* obj = nullptr);
    void InvalidateObject(CDrawObj* obj) override;
    void OnUpdate(CView* sender, long hint, CObject* hintObject) override;
    void OnActivateView(BOOL activate);
    // Appends to the document and enters the object in the object tree.
    void AddObject(CDrawObj* obj);

    // Ruler marks: the selection's extent shown inverted on both rulers.
    void GetRulerMarks(CRect* horizontal, CRect* vertical) const;
    void ClearRulerMarks();
    void GetShownRulerMarks(CRect* horizontal, CRect* vertical) const;

    // The object tree and the database tree of the frame (may be absent). FillTrees starts the
    // object tree afresh and fills the database tree.
    void SetTrees(QTreeWidget* objectTree, QTreeWidget* databaseTree);
    void FillTrees(QStringList* problems = nullptr);
    // Enters a new object in the object tree as its group's current, expanded entry; an object
    // the tree does not list (a shape, a picture) is selected instead.
    void FillObjectTree(CDrawObj* obj);
    // A loaded label, or another window on one: the trees are rebuilt, every object enters the
    // object tree as FillObjectTree enters it, and the view starts with nothing selected. A
    // source that fails is said in a message box, or added to `problems` when given.
    void ShowOpenedObjects(QStringList* problems = nullptr);
    void RemoveFromTree(QTreeWidget* tree, CDrawObj* obj);
    // Takes an object that leaves the document out of the trees of all its views.
    void UnlistFromTrees(CDrawObj* obj);
    void SelectTreeItem(QTreeWidget* tree, CDrawObj* obj);
    QTreeWidget* ObjectTree() const { return m_pObjectTree; }
    QTreeWidgetItem* TextGroup() const { return m_pTextGroup; }
    QTreeWidgetItem* BarcodeGroup() const { return m_pBarcodeGroup; }
    // A click in the object tree's empty area: the selection is emptied.
    void OnObjectTreeClick();
    // The tree item with the object was made current.
    void OnObjectTreeSelChanged(QTreeWidgetItem* item);

    // Mouse, in client pixels with key flags (MK_...); nothing happens in an inactive view.
    void OnLButtonDown(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point);
    void OnMouseMove(UINT flags, CPoint point);
    void OnLButtonDblClk(UINT flags, CPoint point);

    // What the tools use of the view. While the view holds the capture every click goes to it,
    // also after the button is released (the polygon tool keeps the capture between clicks),
    // until the capture is released or a dialog or another window takes over.
    void SetCapture();
    void ReleaseCapture();
    BOOL HasCapture() const { return m_bCapture; }
    // The rubber band: shown in place of any earlier one, or hidden.
    void ShowFocusRect(const CRect& client);
    void HideFocusRect();
    const CRect* GetFocusRect() const { return m_bFocusShown ? &m_focusRect : nullptr; }
    void SetToolCursor(const QCursor& cursor);
    void InvalidateClient(const CRect& client);

    // Commands of the drawing tools and symbologies.
    int m_nSymbology = 0;  // of the next barcode
    // TRUE when the id is a tool or symbology command, which is then done.
    BOOL OnToolCommand(UINT id);
    // The state of a tool or symbology command: enabled and radio-checked.
    BOOL GetToolCommandState(UINT id, BOOL* enabled, BOOL* radio) const;
    static const std::vector<std::pair<UINT, int>>& ShapeCommands();
    static const std::vector<std::pair<UINT, int>>& SymbologyCommands();
    void OnCancel();
    void OnEditProperties();
    BOOL CanEditProperties() const;

    // Editing commands. Each marks the document modified when it changes an object.
    // Z-order acts on the first selected object: to the top, to the bottom, one step up, one
    // step down the document's drawing order.
    enum ZOrder { kToFront, kToBack, kForward, kBackward };
    void OnZOrder(ZOrder order);
    // Moves the selection by a tenth of a millimetre (dx, dy of -1, 0 or 1), kept inside the
    // canvas.
    void OnNudge(int dx, int dy);
    static constexpr double kNudgeStep = 6.047244262695313;
    void OnRotate();
    // Zooms so that the label fills the window (less 30 pixels), then centres it.
    void OnFitLabel();
    // Runs a command of this view once control is back in the event loop, when the windows
    // shown meanwhile have their sizes (the fit of a window that was just opened).
    void PostCommand(UINT id);
    // The zoom that fits the label into the window, or 0 for a label without a size.
    int FitZoom() const;
    void OnSelectAll();
    // Removes the selected objects from the document and from every view's selection.
    void OnEditClear();
    void OnEditCopy();
    void OnEditCut();
    // Adds the objects on the clipboard 60 units right of and below where they were copied,
    // selected, and puts them on the clipboard again.
    void OnEditPaste();
    // Adds the picture of a file, selected; a file that cannot be read adds nothing.
    BOOL InsertPictureFromFile(const CString& path);
    // Exports the label as a picture file at a chosen resolution.
    void OnExportImage();
    // Draws the label at dpi into a picture file of the type its extension names, and tells
    // the user whether it was saved.
    BOOL ExportLabel(const CString& path, int dpi);
    // Draws the label into an image of width x height pixels at dpi, in bands of 1024 rows.
    void RenderLabel(CRasterImage* image, int width, int height, int dpi);
    static constexpr int kBandRows = 1024;

    // The clipboard's private format, and the format beside it that carries the data of
    // embedded objects (a compound file with one storage per object, named by the object's
    // place in the list).
    static QString ClipboardFormat() { return QStringLiteral("Quillbar"); }
    static QString ClipboardItemsFormat() { return QStringLiteral("Quillbar Embedded Items"); }
    // Whether the clipboard holds the private format, as last announced by the clipboard.
    static BOOL CanPaste();
    // The router whose actions make the context menu.
    static void SetCommandRouter(CCommandRouter* router);
    static CCommandRouter* GetCommandRouter();

    // Command 32934: the database set-up wizard. On Finish the document takes the choice and
    // the database tree shows it; the view is repainted in any case.
    void OnDatabaseSetup();
    // The database tree: the source as its root, the document's table under it and the table's
    // fields under that; the document's schema map gets the table and its fields. FALSE, with
    // the root alone, when the document has no source or the source fails (the map is then
    // emptied and the cause shown, or added to `problems` when given).
    BOOL FillDatabaseTree(QStringList* problems = nullptr);

    // A palette entry dragged from a docking bar (screen coordinates).
    BOOL IsPointInView(QPoint screen) const;
    void OnDropComponent(QPoint screen, CCompItem* item);
    void CancelComponentDrop();
    // The entry was dropped: the object stays where it was last placed.
    void EndComponentDrop();
    BOOL IsDropping() const { return m_bDropping; }

signals:
    // The view was repainted after a dragged entry left it.
    void redrawnAfterDrop();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RegisterEditCommands();
    void OnColor(BOOL fill);
    void OnInsertPicture();
    static void WatchClipboard();
    void UpdateScrollBars();
    CRect SelectionBounds() const;
    void ShowRulerMarks(const CRect& horizontal, const CRect& vertical);
    QTreeWidgetItem* FindTreeItem(QTreeWidget* tree, CDrawObj* obj, QTreeWidgetItem** group) const;
    void CreateFromComponent(CPoint logical, CCompItem* item);
    void CentreSelectionOn(CPoint logical);
    static void CentreOn(CDrawObj* obj, CPoint logical);
    // The names in the object trees of every view of the document.
    void RefreshTreeNames();
    // Makes an entry of the object tree current (its group is open once it has entries).
    void MakeCurrentInTree(QTreeWidgetItem* item);
    // The editing views of the view's document, this one included.
    std::vector<CDrawView*> DocumentViews() const;
    // Fits the label again after a resize while it is still fitted and untouched; TRUE when the
    // zoom changed.
    BOOL RefitLabel();
    // The scroll bars are where the view last centred the label.
    BOOL IsUntouched() const;
    // Whether the view's tab is shown at its own size rather than filling the area.
    BOOL InRestoredTab() const;
    // Moves the tree's highlight to the selection's last listed object, or off the tree.
    void ShowSelectionInTree();
    // "Caption (count)" for the text or the barcode group.
    void UpdateGroupCaption(QTreeWidgetItem* group);
    // Lists the text and code objects among `objects` in their groups of the object tree, after
    // the items there; returns the last item listed (null when none).
    QTreeWidgetItem* ListInObjectTree(const std::vector<CDrawObj*>& objects);
    static UINT FlagsOf(const QMouseEvent* event);
    // The polygon tool ends a polygon drawn in this view.
    void EndPolygon();
    // Past a button's release the capture holds the mouse through a grab of the window system.
    void GrabMouseForCapture();
    void ReleaseMouseGrab();

    std::vector<CDrawObj*> m_selection;
    BOOL m_bActive = FALSE;
    int m_nLastZoom = 100;
    BOOL m_bFixedExtent = FALSE;
    int m_nFixedExtent = 300;
    CSize m_totalSize;
    BOOL m_bCapture = FALSE;
    QPointer<QWidget> m_grabWindow;  // the window watched while the mouse is grabbed
    CRect m_focusRect;
    BOOL m_bFocusShown = FALSE;
    CRect m_shownH, m_shownV;  // the ruler marks drawn
    BOOL m_bDropping = FALSE;
    BOOL m_bDropWasModified = FALSE;
    BOOL m_bCentrePending = TRUE;
    // Where the last centring left the scroll bars: while they stay there, a resize of the
    // window (the frame maximised after start-up) centres the label again.
    std::optional<CPoint> m_centredAt;
    // The zoom the last fit chose: while the label is untouched at it, a resize fits it again
    // (a window fitted before the frame reached its final size).
    int m_fitZoom = 0;
    int m_nRedrawTimer = 0;
    CFont m_vertRulerFont;
    CFont m_horzRulerFont;
    QCursor m_dropCursor;
    QPointer<QTreeWidget> m_pObjectTree;
    QPointer<QTreeWidget> m_pDatabaseTree;
    QTreeWidgetItem* m_pTextGroup = nullptr;
    QTreeWidgetItem* m_pBarcodeGroup = nullptr;
    QTreeWidgetItem* m_pDatabaseRoot = nullptr;
};
