#pragma once
// The raster image object: one picture held as a device-independent bitmap (bottom-up rows,
// each padded to a multiple of 4 bytes; 1, 4 and 8 bits per pixel through a palette, 24 bits as
// blue, green, red and 32 bits as blue, green, red, alpha), with its resolution, read from and
// written to the picture file formats the program offers.

#include "framework/geometry.h"

#include <QByteArray>
#include <QImage>
#include <algorithm>
#include <cstddef>
#include <vector>

class CDC;

// Format ids, as the documents and the export command number them.
constexpr int RASTER_FORMAT_UNKNOWN = 0;
constexpr int RASTER_FORMAT_BMP = 1;
constexpr int RASTER_FORMAT_GIF = 2;
constexpr int RASTER_FORMAT_JPG = 3;
constexpr int RASTER_FORMAT_PNG = 4;
constexpr int RASTER_FORMAT_TIF = 6;
constexpr int RASTER_FORMAT_TGA = 7;
constexpr int RASTER_FORMAT_WBMP = 9;
constexpr int RASTER_FORMAT_WMF = 10;

// No image may hold more pixel bytes than this.
constexpr long long RASTER_MAX_MEMORY = 268435456;

// Drawing a drawn picture (WMF) may cost no more work than this, in units of about one filled
// pixel (a few tenths of a second).
constexpr double RASTER_MAX_DRAW_WORK = double(1 << 28);

// Why the last Create, Load or Decode failed.
enum class RasterFailure {
    None,
    Damaged,      // the data is no picture of a known format, or a damaged one
    TooLarge,     // more pixel bytes than RASTER_MAX_MEMORY
    OverLimit,    // more pixel bytes than the limit the caller set (SetMemoryLimit)
    TooMuchWork,  // a drawn picture (WMF) whose drawing costs more than RASTER_MAX_DRAW_WORK
    OverWorkLimit,  // a drawn picture whose drawing costs more than the limit the caller set (SetWorkLimit)
};

constexpr int RASTER_DEFAULT_DPI = 96;

struct RGBQUAD {
    BYTE rgbBlue = 0;
    BYTE rgbGreen = 0;
    BYTE rgbRed = 0;
    BYTE rgbReserved = 0;
    friend constexpr bool operator==(const RGBQUAD&, const RGBQUAD&) = default;
};

// The bitmap header as a BMP file stores it (40 bytes, little-endian).
struct BITMAPINFOHEADER {
    DWORD biSize = 40;
    LONG biWidth = 0;
    LONG biHeight = 0;
    WORD biPlanes = 1;
    WORD biBitCount = 0;
    DWORD biCompression = 0;
    DWORD biSizeImage = 0;
    LONG biXPelsPerMeter = 0;
    LONG biYPelsPerMeter = 0;
    DWORD biClrUsed = 0;
    DWORD biClrImportant = 0;
};

class CRasterImage {
public:
    explicit CRasterImage(int format = RASTER_FORMAT_UNKNOWN);
    virtual ~CRasterImage();
    CRasterImage(const CRasterImage&) = default;
    CRasterImage& operator=(const CRasterImage&) = default;
    CRasterImage(CRasterImage&&) noexcept = default;
    CRasterImage& operator=(CRasterImage&&) noexcept = default;

    // Allocates a zeroed bitmap of 1, 4, 8, 24 or 32 bits per pixel at 96 dpi (a grey ramp as
    // palette below 24 bits) and returns its pixels; NULL, with the error text set and the image
    // empty, when the size is invalid or too large or the memory cannot be had.
    BYTE* Create(DWORD width, DWORD height, DWORD bpp, int format = RASTER_FORMAT_UNKNOWN);
    // Frees the pixels and palette; the image is empty again (0 x 0 pixels, 0 dpi).
    void Destroy();
    bool IsValid() const { return !m_bits.empty(); }

    // Row 0 is the first stored row, the bottom row of the picture; NULL for an empty image or a
    // row out of range.
    BYTE* GetBits(DWORD row = 0);
    const BYTE* GetBits(DWORD row = 0) const;
    int GetRowStride() const { return m_stride; }
    int GetWidth() const { return m_head.biWidth; }
    int GetHeight() const { return m_head.biHeight; }
    int GetBpp() const { return m_head.biBitCount; }
    // The format id the image was last loaded from or created with.
    int GetType() const { return m_type; }
    const BITMAPINFOHEADER& GetHeader() const { return m_head; }

    // Palette of an image of 8 bits per pixel or fewer: 2, 16 or 256 entries.
    int GetNumColors() const { return int(m_palette.size()); }
    const RGBQUAD* GetPalette() const { return m_palette.empty() ? nullptr : m_palette.data(); }
    RGBQUAD GetPaletteColor(int index) const;
    bool SetPaletteColor(int index, BYTE r, BYTE g, BYTE b);
    // A palette index drawn as transparent (from a GIF or PNG file); -1 for none.
    int GetTransparentIndex() const { return m_transparentIndex; }
    void SetTransparentIndex(int index)
    {
        m_transparentIndex = index;
        Changed();
    }

    // The colour at (x, y), y counted from the top of the picture; alpha in rgbReserved (255 for
    // images without alpha).
    RGBQUAD GetPixelColor(int x, int y) const;

    int GetXDPI() const { return m_xdpi; }
    int GetYDPI() const { return m_ydpi; }
    // Values below 1 become 96. The value is also written into the header as pixels per metre.
    void SetXDPI(int dpi);
    void SetYDPI(int dpi);

    int GetJpegQuality() const { return m_jpegQuality; }
    void SetJpegQuality(int quality);

    CString GetLastError() const { return m_error; }
    RasterFailure GetFailure() const { return m_failure; }

    // A bound, below RASTER_MAX_MEMORY, on the pixel bytes that Create, Load and Decode may
    // allocate; a picture that needs more is refused (RasterFailure::OverLimit) and the bytes it
    // needed are kept in GetRefusedMemory. Kept through Destroy.
    void SetMemoryLimit(long long bytes);
    long long GetMemoryLimit() const { return m_memoryLimit; }
    long long GetRefusedMemory() const { return m_refusedMemory; }
    // The pixel and palette bytes the image holds.
    long long GetMemorySize() const;

    // A bound, below RASTER_MAX_DRAW_WORK, on the work that drawing a drawn picture in Load and
    // Decode may cost; a picture that needs more is refused (RasterFailure::OverWorkLimit), and
    // one that would not get the work its canvas takes is refused before anything is drawn. The
    // work the last Load or Decode spent, within the bound, is GetWorkDone. Kept through Destroy.
    void SetWorkLimit(double work) { m_workLimit = std::clamp(work, 0.0, RASTER_MAX_DRAW_WORK); }
    double GetWorkLimit() const { return m_workLimit; }
    double GetWorkDone() const { return m_workDone; }

    // Reading tries the given format first and then every format, those whose signature matches
    // the data before the others; on failure the image is empty and the error text says why.
    bool Load(const CString& path, int format = RASTER_FORMAT_UNKNOWN);
    bool Decode(const QByteArray& data, int format = RASTER_FORMAT_UNKNOWN);
    bool Decode(const BYTE* data, size_t size, int format = RASTER_FORMAT_UNKNOWN);
    // Writing: empty / false when the image is empty, the format cannot encode it or the file
    // cannot be written (the error text is then the system's cause).
    bool Save(const CString& path, int format);
    QByteArray Encode(int format);

    // Stretches the picture into the rectangle, given in the DC's logical coordinates. Only what
    // the device shows is made: never more pixels than it has there, and of a large picture only
    // the visible part.
    bool Draw(CDC* dc, const CRect& rect) const;

    // A part of the picture (in pixels, rows counted from the top) at the given size, each pixel
    // the nearest of the part's: Indexed8 for 1, 4 and 8 bits per pixel (a transparent index
    // gets alpha 0), BGR888 for 24, ARGB32 for 32 bits (RGB32 when no pixel is see-through).
    // Rows are copied or picked in bulk; nothing of the picture outside the part is touched.
    // Null for an empty image, a part outside the picture or no memory.
    QImage Render(const QRect& part, const QSize& size) const;

    // Conversion for tests and the writers: ARGB32 when the image has alpha or a transparent
    // index, RGB32 otherwise. FromQImage keeps 1- and 8-bit indexed pictures indexed.
    QImage ToQImage() const;
    bool FromQImage(const QImage& image);

    // The format whose signature the data starts with; RASTER_FORMAT_UNKNOWN when none.
    static int FormatFromSignature(const BYTE* data, size_t size);

    // Used by the readers and writers.
    void SetError(const CString& text, RasterFailure failure = RasterFailure::Damaged)
    {
        m_error = text;
        m_failure = failure;
    }
    // Refuses a picture of `bytes` pixel bytes (with its error text and failure) when it is more
    // than an image may hold or than the memory limit allows; true when it may be made.
    bool MayHold(long long bytes);
    // Counts the work a reader spent drawing the picture.
    void AddWorkDone(double work) { m_workDone += work; }
    // The picture row y counted from the top.
    BYTE* ScanLine(int y) { return GetBits(DWORD(GetHeight() - 1 - y)); }
    const BYTE* ScanLine(int y) const { return GetBits(DWORD(GetHeight() - 1 - y)); }

private:
    bool DecodeAs(int format, const BYTE* data, size_t size);

    // Pixels may change through every non-const accessor: the drawn image is made again.
    void Changed() { m_drawn = {}; }

    BITMAPINFOHEADER m_head;
    std::vector<BYTE> m_bits;
    std::vector<RGBQUAD> m_palette;
    int m_stride = 0;
    int m_type = RASTER_FORMAT_UNKNOWN;
    int m_xdpi = 0;
    int m_ydpi = 0;
    int m_transparentIndex = -1;
    int m_jpegQuality = 90;
    CString m_error;
    RasterFailure m_failure = RasterFailure::None;
    long long m_memoryLimit = RASTER_MAX_MEMORY;
    long long m_refusedMemory = 0;
    double m_workLimit = RASTER_MAX_DRAW_WORK;
    double m_workDone = 0;
    // The image Draw made last, and of what: a sheet draws the same picture into every label
    // cell at the same size, and a PDF file then holds it once.
    struct Drawn {
        QRect part;
        QSize size;
        QImage image;
    };
    mutable Drawn m_drawn;
};
