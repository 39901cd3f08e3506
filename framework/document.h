#pragma once
// The document base: a modified flag, a path and title, and the views that show the document.
// Views are an interface here; the editing view implements it. The base stores and loads a
// document as one archive in a plain file; a document with another file form overrides
// OnOpenDocument and OnSaveDocument.

#include "framework/object.h"
#include "framework/types.h"

#include <vector>

class CArchive;
class CDC;
class CDocument;
struct CPrintInfo;

class CView {
public:
    virtual ~CView();
    // A document change to show; `hint` and `hintObject` say what changed (0 = everything).
    virtual void OnUpdate(CView* sender, long hint, CObject* hintObject) = 0;
    CDocument* GetDocument() const { return m_pDocument; }

    // Printing, in the order the print road (framework/printjob.h) calls them. OnPreparePrinting
    // sets the printer up, asks the user unless the job is direct and tells the page count;
    // FALSE ends the job before anything is printed. OnBeginPrinting and OnEndPrinting frame
    // the pages; each page is OnPrepareDC (the mapping), then OnPrint.
    virtual BOOL OnPreparePrinting(CPrintInfo*) { return TRUE; }
    virtual void OnBeginPrinting(CDC*, CPrintInfo*) {}
    virtual void OnPrepareDC(CDC*, CPrintInfo*) {}
    virtual void OnPrint(CDC*, CPrintInfo*) {}
    virtual void OnEndPrinting(CDC*, CPrintInfo*) {}

private:
    friend class CDocument;
    CDocument* m_pDocument = nullptr;
};

class CDocument : public CObject {
    DECLARE_DYNAMIC(CDocument)
public:
    CDocument();
    ~CDocument() override;
    CDocument(const CDocument&) = delete;
    CDocument& operator=(const CDocument&) = delete;

    virtual void SetModifiedFlag(BOOL modified = TRUE) { m_bModified = modified; }
    virtual BOOL IsModified() const { return m_bModified; }

    const CString& GetPathName() const { return m_strPathName; }
    // Also makes the file's name the title.
    virtual void SetPathName(const CString& path);
    const CString& GetTitle() const { return m_strTitle; }
    virtual void SetTitle(const CString& title) { m_strTitle = title; }

    // The document does not own its views; a view detaches itself when it is destroyed.
    void AddView(CView* view);
    void RemoveView(CView* view);
    const std::vector<CView*>& GetViews() const { return m_views; }
    // Calls OnUpdate of every view but the sender.
    void UpdateAllViews(CView* sender, long hint = 0, CObject* hintObject = nullptr);

    // Empties the document and clears the modified flag.
    virtual BOOL OnNewDocument();
    // Loads the file; on success the document is bound to the path and unmodified. On failure
    // the document is emptied, keeps its previous path and GetErrorText says why.
    virtual BOOL OnOpenDocument(const CString& path);
    // Writes the whole file beside the target and then replaces the target, so a failure leaves
    // the previous file untouched; the document stays modified then and GetErrorText says why.
    virtual BOOL OnSaveDocument(const CString& path);
    virtual void DeleteContents() {}
    void Serialize(CArchive& ar) override;

    const CString& GetErrorText() const { return m_strError; }

protected:
    void SetErrorText(const CString& text) { m_strError = text; }

private:
    BOOL m_bModified = FALSE;
    CString m_strPathName;
    CString m_strTitle;
    CString m_strError;
    std::vector<CView*> m_views;
};
