// Picture files made byte by byte: PNGs of one colour at any size (deflated row by row, so even a
// huge one takes little memory to make) and placeable metafiles of many shapes.
#pragma once

#include <QByteArray>
#include <QList>
#include <QtEndian>
#include <utility>
#include <vector>
#include <zlib.h>

namespace made {

inline void Be32(QByteArray& out, quint32 v)
{
    out.append(4, '\0');
    qToBigEndian(v, out.data() + out.size() - 4);
}
inline void Le16(QByteArray& out, int v)
{
    out.append(2, '\0');
    qToLittleEndian(quint16(v), out.data() + out.size() - 2);
}

inline void PngChunk(QByteArray& out, const char* type, const QByteArray& data)
{
    Be32(out, quint32(data.size()));
    const QByteArray typed = QByteArray(type, 4) + data;
    out.append(typed);
    Be32(out, quint32(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), uInt(typed.size()))));
}

// A PNG of grey (colour type 0) or palette (3) samples of the given depth, all 0: black, or the
// first of two palette entries, which `transparent` makes see-through.
inline QByteArray SolidPng(int width, int height, int depth, int colourType, bool transparent = false)
{
    QByteArray png("\x89PNG\r\n\x1a\n", 8), header;
    Be32(header, quint32(width));
    Be32(header, quint32(height));
    header.append(char(depth)).append(char(colourType)).append(3, '\0');
    PngChunk(png, "IHDR", header);
    if (colourType == 3)
        PngChunk(png, "PLTE", QByteArray("\x10\x20\x30\xFF\xFF\xFF", 6));
    if (transparent)
        PngChunk(png, "tRNS", QByteArray(1, '\0'));
    std::vector<Bytef> row(1 + (size_t(width) * size_t(depth) + 7) / 8, 0), buffer(1 << 16);
    z_stream z {};
    deflateInit(&z, 9);
    QByteArray data;
    for (int y = 0; y <= height; ++y) {
        z.next_in = row.data();
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

// A placeable metafile of side x side pixels (96 units an inch) that draws its records, each a
// function and its 16-bit parameters, with a solid red brush.
inline QByteArray Metafile(int side, const QList<std::pair<int, QList<int>>>& records)
{
    QByteArray body;
    auto record = [&body](int function, const QList<int>& parameters) {
        Le16(body, 3 + int(parameters.size()));
        Le16(body, (3 + int(parameters.size())) >> 16);
        Le16(body, function);
        for (int p : parameters)
            Le16(body, p);
    };
    record(0x02FC, {0, 0xFF, 0, 0});  // a solid red brush, selected
    record(0x012D, {0});
    for (const auto& [function, parameters] : records)
        record(function, parameters);
    record(0, {});
    QByteArray out;
    for (int v : {0xCDD7, 0x9AC6, 0, 0, 0, side, side, 96, 0, 0})
        Le16(out, v);
    quint16 sum = 0;
    for (int i = 0; i < 20; i += 2)
        sum ^= qFromLittleEndian<quint16>(out.constData() + i);
    const int words = 9 + int(body.size() / 2);
    for (int v : {int(sum), 1, 9, 0x300, words & 0xFFFF, words >> 16, 1, 0, 0, 0})
        Le16(out, v);
    return out + body;
}

// Metafiles whose drawing is far more work than their size: ellipses that each cover the whole
// picture, and a polygon whose every edge runs from top to bottom.
inline QByteArray EllipseFlood(int side, int count)
{
    return Metafile(side, QList<std::pair<int, QList<int>>>(count, {0x0418, {side, side, 0, 0}}));
}
inline QByteArray Zigzag(int side, int points)
{
    QList<int> parameters {points};
    for (int i = 0; i < points; ++i)
        parameters << int((long long)i * side / points) << (i % 2 ? side : 0);
    return Metafile(side, {{0x0324, parameters}});
}

}  // namespace made
