#include "printing/biffworkbook.h"

#include "framework/compoundfile.h"
#include "framework/resourcemodule.h"

#include <QHash>

#include <algorithm>
#include <vector>

namespace {

// Record types.
constexpr quint16 kBof = 0x0809;
constexpr quint16 kEof = 0x000A;
constexpr quint16 kCodePage = 0x0042;
constexpr quint16 kWindow1 = 0x003D;
constexpr quint16 kFont = 0x0031;
constexpr quint16 kXf = 0x00E0;
constexpr quint16 kStyle = 0x0293;
constexpr quint16 kBoundSheet = 0x0085;
constexpr quint16 kSst = 0x00FC;
constexpr quint16 kContinue = 0x003C;
constexpr quint16 kExtSst = 0x00FF;
constexpr quint16 kDimensions = 0x0200;
constexpr quint16 kWindow2 = 0x023E;
constexpr quint16 kLabelSst = 0x00FD;

// The most data one record carries.
constexpr int kMaxRecordData = 8224;
// Fifteen style formats and the cell format every cell uses.
constexpr int kStyleXfs = 15;
constexpr quint16 kCellXf = kStyleXfs;

class Bytes
{
public:
    explicit Bytes(QByteArray& out) : m_out(out) {}
    void U8(int v) { m_out.append(char(quint8(v))); }
    void U16(int v)
    {
        U8(v & 0xFF);
        U8((v >> 8) & 0xFF);
    }
    void U32(quint32 v)
    {
        U16(int(v & 0xFFFF));
        U16(int(v >> 16));
    }
    // A record whose data the function writes; the length is filled in afterwards.
    template <typename F>
    void Record(quint16 type, F&& data)
    {
        U16(type);
        const qsizetype lengthAt = m_out.size();
        U16(0);
        data();
        const qsizetype length = m_out.size() - lengthAt - 2;
        m_out[lengthAt] = char(length & 0xFF);
        m_out[lengthAt + 1] = char((length >> 8) & 0xFF);
    }
    // A string with an 8-bit length, its characters uncompressed.
    void ShortString(const CString& s)
    {
        U8(int(s.size()));
        U8(1);
        Chars(s, true);
    }
    void Chars(QStringView s, bool wide)
    {
        for (QChar c : s) {
            if (wide)
                U16(c.unicode());
            else
                U8(c.unicode());
        }
    }
    qsizetype Size() const { return m_out.size(); }

private:
    QByteArray& m_out;
};

bool Compressible(const CString& s)
{
    return std::all_of(s.begin(), s.end(), [](QChar c) { return c.unicode() < 0x100; });
}

void WriteBof(Bytes& b, int kind)
{
    b.Record(kBof, [&] {
        b.U16(0x0600);  // BIFF8
        b.U16(kind);    // 5 workbook globals, 0x10 worksheet
        b.U16(0x0DBB);  // build
        b.U16(0x07CC);  // year
        b.U32(0);
        b.U32(6);       // earliest version that can read it
    });
}

void WriteFormats(Bytes& b)
{
    // Font 4 is never written, so five fonts give the indices 0 to 3 and 5.
    for (int i = 0; i < 5; ++i)
        b.Record(kFont, [&] {
            b.U16(200);     // 10 points
            b.U16(0);
            b.U16(0x7FFF);  // window text colour
            b.U16(400);     // normal weight
            b.U16(0);
            b.U8(0);
            b.U8(0);
            b.U8(0);
            b.U8(0);
            b.ShortString(QStringLiteral("Arial"));
        });
    for (int i = 0; i <= kStyleXfs; ++i) {
        const bool style = i < kStyleXfs;
        b.Record(kXf, [&] {
            b.U16(0);                        // font
            b.U16(0);                        // number format "General"
            b.U16(style ? 0xFFF5 : 0x0001);  // locked; a style has no parent, a cell style 0
            b.U8(0x20);                      // bottom aligned
            b.U8(0);
            b.U8(0);
            b.U8(style ? 0xF4 : 0);
            b.U32(0);
            b.U32(0);
            b.U16(0x20C0);                   // automatic pattern colours
        });
    }
    b.Record(kStyle, [&] {
        b.U16(0x8000);  // built-in style on format 0: Normal
        b.U8(0);
        b.U8(0xFF);
    });
}

// The shared-string table: SST, then CONTINUE records wherever the texts pass the record size,
// and the EXTSST index of every eighth (or more) string.
void WriteSst(Bytes& b, QByteArray& out, const std::vector<CString>& strings, quint32 references)
{
    const int perBucket = std::max<int>(8, int((strings.size() + 127) / 128));
    struct Bucket {
        quint32 streamPos;
        quint16 recordOffset;
    };
    std::vector<Bucket> buckets;

    qsizetype recordStart = b.Size();
    quint16 type = kSst;
    auto begin = [&](quint16 t) {
        recordStart = b.Size();
        type = t;
        b.U16(type);
        b.U16(0);
    };
    auto finish = [&] {
        const qsizetype length = b.Size() - recordStart - 4;
        out[recordStart + 2] = char(length & 0xFF);
        out[recordStart + 3] = char((length >> 8) & 0xFF);
    };
    auto room = [&] { return kMaxRecordData - int(b.Size() - recordStart - 4); };

    begin(kSst);
    b.U32(references);
    b.U32(quint32(strings.size()));
    for (std::size_t i = 0; i < strings.size(); ++i) {
        const CString& s = strings[i];
        const bool wide = !Compressible(s);
        const int unit = wide ? 2 : 1;
        // The length and flags never part from the first character.
        if (room() < 3 + unit) {
            finish();
            begin(kContinue);
        }
        if (i % std::size_t(perBucket) == 0)
            buckets.push_back({quint32(b.Size()), quint16(b.Size() - recordStart)});
        b.U16(int(s.size()));
        b.U8(wide ? 1 : 0);
        qsizetype done = 0;
        while (true) {
            const qsizetype n = std::min<qsizetype>(s.size() - done, room() / unit);
            b.Chars(QStringView(s).mid(done, n), wide);
            done += n;
            if (done >= s.size())
                break;
            // The rest of the text goes on in a CONTINUE record that repeats the flags.
            finish();
            begin(kContinue);
            b.U8(wide ? 1 : 0);
        }
    }
    finish();

    b.Record(kExtSst, [&] {
        b.U16(perBucket);
        for (const Bucket& bucket : buckets) {
            b.U32(bucket.streamPos);
            b.U16(bucket.recordOffset);
            b.U16(0);
        }
    });
}

}  // namespace

CTextSheet::CTextSheet(const CString& name, int rows, int columns, CellText cell)
    : m_name(SheetName(name)), m_rows(rows), m_columns(columns), m_cell(std::move(cell))
{
}

CString CTextSheet::SheetName(const CString& name)
{
    CString out = name.left(31);
    for (QChar& c : out)
        if (QStringLiteral(":\\/?*[]").contains(c))
            c = QLatin1Char('_');
    return out.isEmpty() ? QStringLiteral("Sheet1") : out;
}

BOOL CTextSheet::Check(CString* error) const
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return FALSE;
    };
    if (m_rows > kMaxRows)
        return fail(LoadMessage(485, "The worksheet would have %1 rows; an Excel 97-2003 worksheet holds at most %2.")
                        .arg(m_rows)
                        .arg(kMaxRows));
    if (m_columns > kMaxColumns)
        return fail(LoadMessage(486, "The worksheet would have %1 columns; an Excel 97-2003 worksheet holds at most %2.")
                        .arg(m_columns)
                        .arg(kMaxColumns));
    for (int r = 0; r < m_rows; ++r)
        for (int c = 0; c < m_columns; ++c)
            if (m_cell(r, c).size() > kMaxCellChars)
                return fail(LoadMessage(487, "The value in row %1, column %2 has more than %3 characters.")
                                .arg(r + 1)
                                .arg(c + 1)
                                .arg(kMaxCellChars));
    return TRUE;
}

QByteArray CTextSheet::BuildStream() const
{
    // Shared strings, in the order of first use, and the cells that use them.
    struct Cell {
        quint16 row, column;
        quint32 string;
    };
    std::vector<Cell> cells;
    cells.reserve(std::size_t(m_rows) * std::size_t(std::max(m_columns, 0)));
    std::vector<CString> strings;
    QHash<CString, quint32> index;
    for (int r = 0; r < m_rows; ++r)
        for (int c = 0; c < m_columns; ++c) {
            CString text = m_cell(r, c);
            if (text.isEmpty())
                continue;
            auto it = index.constFind(text);
            if (it == index.constEnd()) {
                it = index.insert(text, quint32(strings.size()));
                strings.push_back(std::move(text));
            }
            cells.push_back({quint16(r), quint16(c), *it});
        }

    QByteArray out;
    out.reserve(qsizetype(cells.size()) * 14 + 4096);
    Bytes b(out);
    WriteBof(b, 0x0005);
    b.Record(kCodePage, [&] { b.U16(1200); });  // UTF-16
    b.Record(kWindow1, [&] {
        b.U16(0);
        b.U16(0);
        b.U16(0x4000);
        b.U16(0x2000);
        b.U16(0x0038);  // scroll bars and sheet tabs shown
        b.U16(0);
        b.U16(0);
        b.U16(1);
        b.U16(600);
    });
    WriteFormats(b);
    qsizetype sheetPosAt = 0;
    b.Record(kBoundSheet, [&] {
        sheetPosAt = b.Size();
        b.U32(0);  // the worksheet's position, filled in below
        b.U16(0);  // visible worksheet
        b.ShortString(m_name);
    });
    WriteSst(b, out, strings, quint32(cells.size()));
    b.Record(kEof, [] {});

    const quint32 sheetPos = quint32(out.size());
    for (int i = 0; i < 4; ++i)
        out[sheetPosAt + i] = char((sheetPos >> (8 * i)) & 0xFF);
    WriteBof(b, 0x0010);
    b.Record(kDimensions, [&] {
        b.U32(0);
        b.U32(quint32(m_rows));
        b.U16(0);
        b.U16(m_columns);
        b.U16(0);
    });
    b.Record(kWindow2, [&] {
        b.U16(0x06B6);  // grid, headers, zeros, outline symbols; selected and shown
        b.U16(0);
        b.U16(0);
        b.U32(64);
        b.U16(0);
        b.U16(0);
        b.U32(0);
    });
    for (const Cell& cell : cells) {
        b.U16(kLabelSst);
        b.U16(10);
        b.U16(cell.row);
        b.U16(cell.column);
        b.U16(kCellXf);
        b.U32(cell.string);
    }
    b.Record(kEof, [] {});
    // Readers expect the stream in the file's big sectors, not its mini stream.
    if (out.size() < 4096)
        out.append(4096 - out.size(), '\0');
    return out;
}

BOOL CTextSheet::Save(const CString& path, CString* error) const
{
    if (!Check(error))
        return FALSE;
    CCompoundFile file;
    file.GetRoot().WriteStream(QStringLiteral("Workbook"), BuildStream());
    QString why;
    if (!file.Save(path, why)) {
        if (error)
            *error = why;
        return FALSE;
    }
    return TRUE;
}
