// Picture files made by the tests, byte by byte: PNG files of one colour at any size and depth
// (the rows are deflated as a stream, so even a huge picture takes little memory to make), and
// placeable metafiles of many records.
#pragma once

#include <QByteArray>
#include <QtEndian>
#include <functional>
#include <vector>
#include <zlib.h>

namespace made {

inline void Be32(QByteArray& out, quint32 v)
{
    char b[4];
    qToBigEndian(v, b);
    out.append(b, 4);
}
inline void Le16(QByteArray& out, int v)
{
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
}
inline void Le32(QByteArray& out, quint32 v)
{
    Le16(out, int(v & 0xFFFF));
    Le16(out, int(v >> 16));
}

inline void PngChunk(QByteArray& out, const char* type, const QByteArray& data)
{
    Be32(out, quint32(data.size()));
    const QByteArray typed = QByteArray(type, 4) + data;
    out.append(typed);
    Be32(out, quint32(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), uInt(typed.size()))));
}

// A PNG of width x height pixels whose samples are all 0 (black, or the first palette entry),
// of the given bit depth and colour type (0 grey, 2 colour, 3 palette, 4 grey and alpha, 6 colour
// and alpha). A palette picture gets two entries; `transparent` adds a tRNS chunk.
inline QByteArray SolidPng(int width, int height, int depth, int colourType, bool transparent = false)
{
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray header;
    Be32(header, quint32(width));
    Be32(header, quint32(height));
    header.append(char(depth)).append(char(colourType)).append(3, '\0');
    PngChunk(png, "IHDR", header);
    if (colourType == 3)
        PngChunk(png, "PLTE", QByteArray("\x10\x20\x30\xFF\xFF\xFF", 6));
    if (transparent)
        PngChunk(png, "tRNS", colourType == 3 ? QByteArray("\x00", 1) : QByteArray(colourType == 2 ? 6 : 2, '\xFF'));
    const int channels = colourType == 2 ? 3 : colourType == 6 ? 4 : colourType == 4 ? 2 : 1;
    const std::vector<unsigned char> row(1 + (size_t(width) * size_t(channels * depth) + 7) / 8, 0);
    z_stream z {};
    deflateInit(&z, 9);
    QByteArray data;
    std::vector<unsigned char> buffer(1 << 16);
    for (int y = 0; y <= height; ++y) {
        z.next_in = const_cast<unsigned char*>(row.data());
        z.avail_in = y < height ? uInt(row.size()) : 0;
        do {
            z.next_out = buffer.data();
            z.avail_out = uInt(buffer.size());
            deflate(&z, y < height ? Z_NO_FLUSH : Z_FINISH);
            data.append(reinterpret_cast<const char*>(buffer.data()), qsizetype(buffer.size() - z.avail_out));
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    PngChunk(png, "IDAT", data);
    PngChunk(png, "IEND", {});
    return png;
}

// A placeable metafile of side x side units at 96 a inch (side x side pixels), with a solid red
// brush selected, whose records `body` adds with `record` (words of the record, function) and
// its parameters with Le16 / Le32.
struct Metafile {
    QByteArray body;
    explicit Metafile()
    {
        Record(7, 0x02FC);  // a solid brush
        Le16(body, 0);
        Le32(body, 0x0000FF);
        Le16(body, 0);
        Record(4, 0x012D);  // selected
        Le16(body, 0);
    }
    void Record(quint32 words, int function)
    {
        Le32(body, words);
        Le16(body, function);
    }
    void Ellipse(int left, int top, int right, int bottom)
    {
        Record(7, 0x0418);
        for (int v : {bottom, right, top, left})
            Le16(body, v);
    }
    void Polygon(const std::vector<std::pair<int, int>>& points)
    {
        Record(quint32(4 + 2 * points.size()), 0x0324);
        Le16(body, int(points.size()));
        for (const auto& [x, y] : points) {
            Le16(body, x);
            Le16(body, y);
        }
    }
    QByteArray File(int side) const
    {
        QByteArray out;
        Le32(out, 0x9AC6CDD7);
        for (int v : {0, 0, 0, side, side, 96})
            Le16(out, v);
        Le32(out, 0);
        quint16 sum = 0;
        for (int i = 0; i < 20; i += 2)
            sum ^= quint16(uchar(out[i]) | (uchar(out[i + 1]) << 8));
        Le16(out, sum);
        Le16(out, 1);
        Le16(out, 9);
        Le16(out, 0x300);
        Le32(out, quint32((18 + body.size() + 6) / 2));
        Le16(out, 1);
        Le32(out, 0);
        Le16(out, 0);
        return out + body + QByteArray("\x03\0\0\0\0\0", 6);
    }
};

// Metafiles whose drawing is far more work than their size: ellipses that each cover the whole
// picture, and polygons whose every edge runs from top to bottom.
inline QByteArray EllipseFlood(int side, int count)
{
    Metafile m;
    for (int i = 0; i < count; ++i)
        m.Ellipse(0, 0, side, side);
    return m.File(side);
}
inline QByteArray ZigzagPolygons(int side, int polygons, int points)
{
    Metafile m;
    std::vector<std::pair<int, int>> zigzag;
    for (int i = 0; i < points; ++i)
        zigzag.emplace_back(int((long long)i * side / points), i % 2 ? side : 0);
    for (int k = 0; k < polygons; ++k)
        m.Polygon(zigzag);
    return m.File(side);
}

}  // namespace made
