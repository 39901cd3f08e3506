#pragma once
// Picture objects. Both keep the whole picture inside the label document:
// - CDrawImage, made by the view when a picture file is inserted, is sized from the picture's
//   pixels and resolution, draws the shape frame under the picture and is stored as a BMP file;
// - CDrawImg, made by the picture tool, sizes itself at 16 logical units per pixel on its first
//   paint after a picture was loaded, draws no frame and is stored as a JPEG file.
// A picture read from a label keeps the bytes it was stored as and is written back with exactly
// those bytes, so saving never costs a lossy picture any quality; only a new picture is encoded.

#include "image/rasterimage.h"
#include "objects/drawobj.h"

#include <memory>

// The picture format id of a file extension (without the dot, any case); BMP for anything not
// known.
int ExtensionToFormat(const CString& extension);

class CDrawImage : public CDrawRect {
    DECLARE_SERIAL(CDrawImage)
protected:
    CDrawImage();

public:
    explicit CDrawImage(const CRect& position);
    ~CDrawImage() override;

    void Serialize(CArchive& ar) override;
    void Draw(CDC* dc, int labelIndex) override;

    // The picture-size dialog; on OK its rectangle becomes the position.
    BOOL OnEditProperties(CDrawViewBase* view) override;

    // Loads the picture by the format its extension names (every format is tried when that
    // fails) and sizes the object as pixels x 1536 / resolution; a picture that reports no
    // resolution counts as 96 dpi. FALSE, with an empty picture and the position unchanged,
    // when the file cannot be read, and why in *why when it meets a bound: the memory the
    // document's pictures may take (the document the object is in or will be added to,
    // m_pDocument), or the work a drawn picture may cost.
    BOOL LoadFile(const CString& path, CString* why = nullptr);

    // Whoever may change the picture makes it a new one: it is encoded again when stored.
    CRasterImage& GetImage()
    {
        m_stored.clear();
        m_problem.clear();
        return *m_pImage;
    }
    const CRasterImage& GetImage() const { return *m_pImage; }

    long long GetPictureMemory() const override { return m_pImage->GetMemorySize(); }
    // Why the stored picture is not shown; empty when it is.
    CString GetLoadProblem() const override { return m_problem; }

private:
    std::unique_ptr<CRasterImage> m_pImage;
    QByteArray m_stored;  // the picture's bytes as read from the label; empty for a new picture
    CString m_problem;
};

class CDrawImg : public CDrawRect {
    DECLARE_SERIAL(CDrawImg)
protected:
    CDrawImg();

public:
    // Logical units per picture pixel.
    static constexpr int kUnitsPerPixel = 16;

    CDrawImg(const CRect& position, CDrawViewBase* view);
    ~CDrawImg() override;

    void Serialize(CArchive& ar) override;
    void Draw(CDC* dc, int labelIndex) override;

    // The file dialog that chooses the picture; TRUE when a readable picture was chosen.
    BOOL OnEditProperties(CDrawViewBase* view) override;

    long long GetPictureMemory() const override { return m_pBitmap ? m_pBitmap->GetMemorySize() : 0; }
    // Why the stored picture is not shown; empty when it is.
    CString GetLoadProblem() const override { return m_problem; }

    // Replaces the picture by the file's (any format); the next paint sizes the object. FALSE,
    // with the old picture kept, when the file cannot be read. A JPEG file is kept as it is;
    // any other picture is encoded as JPEG at once (see-through parts laid onto white) and
    // shown as that JPEG, so the screen shows what the label stores. Why a file was refused
    // goes to *why when it meets a bound.
    BOOL LoadFromFile(const CString& path, CString* why = nullptr);

    // NULL until a picture was loaded.
    const CRasterImage* GetBitmap() const { return m_pBitmap.get(); }
    BOOL IsSizePending() const { return m_bSizePending; }
    CDrawViewBase* GetView() const { return m_pView; }

private:
    std::unique_ptr<CRasterImage> m_pBitmap;
    QByteArray m_stored;  // the JPEG bytes the picture is stored as
    CString m_problem;
    CDrawViewBase* m_pView = nullptr;
    BOOL m_bSizePending = FALSE;
};
