#pragma once
// Shared by the QR Code tests: the resource module with the tables, a symbol's data and EC
// codewords read back out of its modules, and a symbol drawn for zxing-cpp.

#include "framework/painterdc.h"
#include "framework/resourcemodule.h"
#include "symbology/codepages.h"
#include "symbology/qrcodeencoder.h"
#include "zxing_read.h"

#include <gtest/gtest.h>

#include <QImage>
#include <string>
#include <vector>

namespace qrtest {

inline void LoadTables()
{
    if (!CResourceModule::Get().IsLoaded() || CResourceModule::Get().IsFallback())
        CResourceModule::Get().Load(QStringLiteral(QB_RESOURCE_MODULE), QStringLiteral("ENU"));
}

// The level index of the tables and the format information: M 0, L 1, H 2, Q 3.
inline int LevelIndex(int level)
{
    static constexpr int kIndex[4] = {1, 0, 3, 2};
    return kIndex[level];
}

inline std::vector<BYTE> Table(const QString& name)
{
    CQRCodeResourceManager::Entry* entry = nullptr;
    if (!CQRCodeResourceManager::GetInstance().GetResource(name, entry))
        return {};
    return std::vector<BYTE>(entry->buffer, entry->buffer + entry->size);
}

inline std::vector<BYTE> Bytes(const std::string& text) { return std::vector<BYTE>(text.begin(), text.end()); }

// The codeword stream (data, then EC block by block) as the encoder's last symbol holds it.
inline std::vector<int> Codewords(const CQRCodeEncoder& encoder)
{
    const int version = encoder.GetVersion();
    const int total = CQRCodeEncoder::TotalCodewords(version);
    const std::size_t n = std::size_t(total) * 8 + std::size_t(CQRCodeEncoder::RemainderBits(version));
    const auto table = Table(QStringLiteral("IDR_QRV%1_%2").arg(version).arg(LevelIndex(encoder.GetLevel())));
    std::vector<int> words(std::size_t(total), 0);
    const auto& m = encoder.GetMatrix();
    for (std::size_t k = 0; k < std::size_t(total) * 8; ++k) {
        const bool maskBit = (table[2 * n + k] >> encoder.GetMask()) & 1;
        if (m[table[k]][table[n + k]] != maskBit)
            words[k / 8] |= 0x80 >> (k % 8);
    }
    return words;
}

// The text's symbol drawn through the device context, 4 pixels a module, 4 modules of white.
inline QImage Render(CQRCodeEncoder& encoder, const QString& text)
{
    encoder.SetModuleSize(4);
    const int side = encoder.GetSymbolSize(text).cx;
    QImage image((side + 8) * 4, (side + 8) * 4, QImage::Format_RGB32);
    image.fill(Qt::white);
    CPainterDC dc(&image);
    encoder.Draw(&dc, text, CRect(16, 16, 16 + side * 4, 16 + side * 4));
    return image;
}

inline zxread::Symbol Read(const QImage& image)
{
    return zxread::DecodeSymbol(image, ZXing::BarcodeFormat::QRCode);
}

} // namespace qrtest
