// Feeds arbitrary bytes to the picture readers, as a label's picture record or an inserted file
// reaches them: the first byte names the format asked for (0 for none), the rest is the file.
// A picture that decodes is drawn once through the QPainter device context, stretched as a label
// draws it.

#include "framework/painterdc.h"
#include "image/rasterimage.h"

#include <QByteArray>
#include <QImage>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    CRasterImage image;
    if (!image.Decode(data + 1, size - 1, data[0] % (RASTER_FORMAT_WMF + 1)))
        return 0;
    QImage canvas(48, 32, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    CPainterDC dc(&canvas);
    image.Draw(&dc, CRect(3, 2, 45, 30));
    return 0;
}
