// The stored form of one 95 x 55 mm label on A4 whose pictures are the given files, kept as they
// are: each an inch square, in a row from (300, 300), `step` units from one to the next.
#pragma once

#include "document/drawdoc.h"
#include "image/rasterimage.h"
#include "objects/drawimage.h"

#include <QList>
#include <QtEndian>

inline QByteArray PictureLabelContents(const QList<QByteArray>& pictures, int step)
{
    CDrawDoc doc;
    const float paper[2] = {2100, 2970}, label[2] = {950, 554}, gap[2] = {0, 0};
    const int grid[2] = {1, 1};
    doc.SetPaperSize(paper);
    doc.SetPaperCode(9);
    doc.SetLabelSize(label);
    doc.SetLabelGap(gap);
    doc.SetLabelGrid(grid);
    doc.SetLabelsToPrint(1);
    CRasterImage dot;
    dot.Create(1, 1, 24);
    for (int i = 0; i < pictures.size(); ++i) {
        auto* picture = new CDrawImage(CRect(300 + i * step, 300, 1836 + i * step, 1836));
        picture->GetImage() = dot;
        doc.Add(picture);
    }
    // Each placeholder's record, its length as 64 bits and its bytes, becomes the picture's.
    auto record = [](const QByteArray& bytes) {
        QByteArray length(8, '\0');
        qToLittleEndian(quint64(bytes.size()), length.data());
        return length + bytes;
    };
    const QByteArray placeholder = record(dot.Encode(RASTER_FORMAT_BMP));
    QByteArray contents = doc.StoreContents();
    qsizetype at = 0;
    for (const QByteArray& picture : pictures) {
        at = contents.indexOf(placeholder, at);
        if (at < 0)
            return {};
        contents.replace(at, placeholder.size(), record(picture));
        at += 8 + picture.size();
    }
    return contents;
}
