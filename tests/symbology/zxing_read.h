#pragma once
// Reading a drawn symbol back with zxing-cpp, an independent decoder.

#define ZX_USE_UTF8
#include <ZXing/ReadBarcode.h>

#include <QImage>

#include <cstdint>
#include <string>
#include <vector>

namespace zxread {

struct Read {
    std::string text;  // "<unread>" when nothing was decoded
    std::string symbologyId;
};

inline ZXing::Result ReadResult(const QImage& image, const ZXing::DecodeHints& hints)
{
    const QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
    ZXing::ImageView view(gray.constBits(), gray.width(), gray.height(), ZXing::ImageFormat::Lum,
                          int(gray.bytesPerLine()));
    return ZXing::ReadBarcode(view, hints);
}

inline Read Decode(const QImage& image, ZXing::BarcodeFormat format, bool codabarStartEnd = false,
                   bool fullAscii = false)
{
    ZXing::DecodeHints hints;
    hints.setFormats(format);
    hints.setTryHarder(true);
    hints.setTryRotate(false);
    hints.setTryCode39ExtendedMode(fullAscii);
    hints.setReturnCodabarStartEnd(codabarStartEnd);
    const ZXing::Result result = ReadResult(image, hints);
    if (!result.isValid())
        return {"<unread>", ""};
    return {result.text(), result.symbologyIdentifier()};
}

// Everything a 2-D symbol's reading reports that the tests check.
struct Symbol {
    bool valid = false;
    std::vector<std::uint8_t> bytes;
    std::string ecLevel;
    bool mirrored = false;
    int orientation = 0;
    int sequenceIndex = -1;
    int sequenceSize = -1;
    std::string sequenceId;
};

// fixedThreshold: try harder, with a fixed black-white threshold (the PDF417 and Data Matrix reads).
inline Symbol DecodeSymbol(const QImage& image, ZXing::BarcodeFormat format, bool fixedThreshold = false)
{
    ZXing::DecodeHints hints;
    hints.setFormats(format);
    hints.setTryRotate(false);
    if (fixedThreshold) {
        hints.setTryHarder(true);
        hints.setBinarizer(ZXing::Binarizer::FixedThreshold);
    }
    const ZXing::Result result = ReadResult(image, hints);
    Symbol symbol;
    symbol.valid = result.isValid();
    if (!symbol.valid)
        return symbol;
    symbol.bytes.assign(result.bytes().begin(), result.bytes().end());
    symbol.ecLevel = result.ecLevel();
    symbol.mirrored = result.isMirrored();
    symbol.orientation = result.orientation();
    symbol.sequenceIndex = result.sequenceIndex();
    symbol.sequenceSize = result.sequenceSize();
    symbol.sequenceId = result.sequenceId();
    return symbol;
}

}  // namespace zxread
