#pragma once
// Reading a drawn symbol back with zxing-cpp, an independent decoder.

#define ZX_USE_UTF8
#include <ZXing/ReadBarcode.h>

#include <QImage>

#include <string>

namespace zxread {

struct Read {
    std::string text;  // "<unread>" when nothing was decoded
    std::string symbologyId;
};

inline Read Decode(const QImage& image, ZXing::BarcodeFormat format, bool codabarStartEnd = false,
                   bool fullAscii = false)
{
    const QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
    ZXing::ImageView view(gray.constBits(), gray.width(), gray.height(), ZXing::ImageFormat::Lum,
                          int(gray.bytesPerLine()));
    ZXing::DecodeHints hints;
    hints.setFormats(format);
    hints.setTryHarder(true);
    hints.setTryRotate(false);
    hints.setTryCode39ExtendedMode(fullAscii);
    hints.setReturnCodabarStartEnd(codabarStartEnd);
    const ZXing::Result result = ZXing::ReadBarcode(view, hints);
    if (!result.isValid())
        return {"<unread>", ""};
    return {result.text(), result.symbologyIdentifier()};
}

}  // namespace zxread
