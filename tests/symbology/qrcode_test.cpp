// The QR Code encoder: its codewords against the standard's worked examples, version choice and
// capacity, and the symbols it builds read back by zxing-cpp.

#include "qrhelpers.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QWidget>

#include <tuple>

using namespace qrtest;

namespace {

class QRCode : public ::testing::Test {
protected:
    void SetUp() override { LoadTables(); }
};

std::string Repeat(char c, int count) { return std::string(std::size_t(count), c); }

// The largest number of bytes that still fits the version at the level.
int ByteCapacity(int version, int level)
{
    const int bits = CQRCodeEncoder::DataCapacityBits(version, LevelIndex(level));
    return (bits - 4 - (version <= 9 ? 8 : 16)) / 8;
}

const char* kLevelNames[4] = {"L", "M", "Q", "H"};

} // namespace

TEST_F(QRCode, CodewordsOfTheStandardsExamples)
{
    CQRCodeEncoder numeric;
    numeric.SetDataMode(CQRCodeEncoder::ModeNumeric);
    numeric.SetLevel(CQRCodeEncoder::LevelM);
    ASSERT_EQ(numeric.Encode(Bytes("01234567")).size(), 21u);
    const auto words = Codewords(numeric);
    EXPECT_EQ(std::vector<int>(words.begin(), words.begin() + 16),
              (std::vector<int>{16, 32, 12, 86, 97, 128, 236, 17, 236, 17, 236, 17, 236, 17, 236, 17}));
    EXPECT_EQ(std::vector<int>(words.begin() + 16, words.end()),
              (std::vector<int>{165, 36, 212, 193, 237, 54, 199, 135, 44, 85}));

    CQRCodeEncoder alphanumeric;
    alphanumeric.SetDataMode(CQRCodeEncoder::ModeAlphanumeric);
    alphanumeric.SetLevel(CQRCodeEncoder::LevelQ);
    ASSERT_EQ(alphanumeric.Encode(Bytes("HELLO WORLD")).size(), 21u);
    const auto ec = Codewords(alphanumeric);
    EXPECT_EQ(std::vector<int>(ec.begin() + 13, ec.end()),
              (std::vector<int>{168, 72, 22, 82, 217, 54, 156, 0, 46, 15, 180, 122, 16}));

    EXPECT_EQ(numeric.CalcParity(Bytes("A")), -1);
    EXPECT_EQ(numeric.CalcParity(Bytes("AB")), 3);
}

TEST_F(QRCode, VersionChoiceAndCapacity)
{
    CQRCodeEncoder encoder;
    for (int level = 0; level < 4; ++level) {
        encoder.SetLevel(level);
        EXPECT_EQ(encoder.GetSymbolSize(QString()), CSize(21, 21)) << level;
    }

    encoder.SetLevel(CQRCodeEncoder::LevelM);
    encoder.Encode(Bytes(Repeat('a', 180)));
    EXPECT_EQ(encoder.GetVersion(), 9);
    encoder.Encode(Bytes(Repeat('a', 181)));
    EXPECT_EQ(encoder.GetVersion(), 10);

    const int most[4] = {2953, 2331, 1663, 1273};
    for (int level = 0; level < 4; ++level) {
        encoder.SetLevel(level);
        EXPECT_EQ(encoder.Encode(Bytes(Repeat('x', most[level]))).size(), 177u) << level;
        EXPECT_FALSE(encoder.Overflowed());
        EXPECT_TRUE(encoder.Encode(Bytes(Repeat('x', most[level] + 1))).empty()) << level;
        EXPECT_TRUE(encoder.Overflowed());
    }
    // Overflow is reported, never shown: no window opens while painting or printing.
    for (QWidget* widget : QApplication::topLevelWidgets())
        EXPECT_FALSE(widget->isVisible());

    // 34 digits fill version 1-M to the bit; 41 digits leave one bit for the terminator at 1-L.
    encoder.SetDataMode(CQRCodeEncoder::ModeNumeric);
    encoder.SetLevel(CQRCodeEncoder::LevelM);
    encoder.Encode(Bytes(Repeat('7', 34)));
    EXPECT_EQ(encoder.GetVersion(), 1);
    EXPECT_NE(Codewords(encoder)[15], 17);  // no pad codeword
    encoder.Encode(Bytes(Repeat('7', 35)));
    EXPECT_EQ(encoder.GetVersion(), 2);
    encoder.SetLevel(CQRCodeEncoder::LevelL);
    encoder.Encode(Bytes(Repeat('7', 41)));
    EXPECT_EQ(encoder.GetVersion(), 1);
    // 4 + 10 + 13 x 10 + 7 = 151 bits: the last data bit is the terminator's only bit.
    EXPECT_EQ(Codewords(encoder)[18] & 1, 0);
    EXPECT_EQ(Read(Render(encoder, QString(41, QLatin1Char('7')))).bytes, Bytes(Repeat('7', 41)));
}

TEST_F(QRCode, RebuildsWhenTheBytesOrSettingsChange)
{
    CQRCodeEncoder encoder;
    const auto first = encoder.Encode(Bytes("0001"));
    EXPECT_NE(encoder.Encode(Bytes("0002")), first);
    EXPECT_EQ(Read(Render(encoder, QStringLiteral("0003"))).bytes, Bytes("0003"));
    const auto m = encoder.Encode(Bytes("0003"));
    encoder.SetLevel(CQRCodeEncoder::LevelH);
    EXPECT_NE(encoder.Encode(Bytes("0003")), m);
    EXPECT_EQ(Read(Render(encoder, QStringLiteral("0003"))).ecLevel, "H");
}

TEST_F(QRCode, StoredModesKeepBytesOutsideThem)
{
    CQRCodeEncoder encoder;
    encoder.SetDataMode(CQRCodeEncoder::ModeNumeric);
    EXPECT_EQ(Read(Render(encoder, QStringLiteral("12a4"))).bytes, Bytes("12a4"));
    EXPECT_EQ(encoder.GetDataMode(), CQRCodeEncoder::ModeNumeric);
    encoder.SetDataMode(CQRCodeEncoder::ModeAlphanumeric);
    EXPECT_EQ(Read(Render(encoder, QStringLiteral("Ab-1"))).bytes, Bytes("Ab-1"));
    EXPECT_EQ(Read(Render(encoder, QStringLiteral("AB-1 $%*+./:"))).bytes, Bytes("AB-1 $%*+./:"));
    EXPECT_EQ(encoder.GetDataMode(), CQRCodeEncoder::ModeAlphanumeric);
    // In its own mode the text is shorter than in byte mode: 1-H holds 17 digits, 7 bytes.
    encoder.SetDataMode(CQRCodeEncoder::ModeNumeric);
    encoder.SetLevel(CQRCodeEncoder::LevelH);
    EXPECT_EQ(encoder.GetSymbolSize(QString(17, QLatin1Char('9'))), CSize(21, 21));
}

TEST_F(QRCode, StructuredAppend)
{
    CQRCodeEncoder encoder;
    encoder.SetStructuredAppend(2, 3, 0x41);
    auto symbol = Read(Render(encoder, QStringLiteral("Quillbar")));
    ASSERT_TRUE(symbol.valid);
    EXPECT_EQ(symbol.sequenceIndex, 1);
    EXPECT_EQ(symbol.sequenceSize, 3);
    EXPECT_EQ(symbol.sequenceId, "65");

    // Out-of-range calls change nothing.
    encoder.SetStructuredAppend(0, 3, 1);
    encoder.SetStructuredAppend(2, 17, 1);
    encoder.SetStructuredAppend(2, 3, 256);
    EXPECT_EQ(encoder.GetStructuredAppendPosition(), 2);
    EXPECT_EQ(encoder.GetStructuredAppendParity(), 0x41);

    // Stored values outside their bit fields write no header.
    for (auto [total, position, parity] : {std::tuple{17, 1, 0}, {3, 0, 0}, {3, 17, 0}, {3, 1, 300}, {3, 1, -1}}) {
        encoder.SetStoredStructuredAppend(total, position, parity);
        symbol = Read(Render(encoder, QStringLiteral("Quillbar")));
        EXPECT_EQ(symbol.bytes, Bytes("Quillbar"));
        EXPECT_EQ(symbol.sequenceSize, -1) << total << " " << position << " " << parity;
    }
}

TEST_F(QRCode, ZXingReadsEveryVersionAndLevel)
{
    for (int v = 1; v <= 40; ++v)
        for (int level = 0; level < 4; ++level) {
            CQRCodeEncoder encoder;
            encoder.SetLevel(level);
            std::string text;
            for (int i = 0; i < ByteCapacity(v, level); ++i)
                text += char('!' + (i * 7 + v) % 90);
            const auto symbol = Read(Render(encoder, QString::fromStdString(text)));
            ASSERT_EQ(encoder.GetVersion(), v);
            EXPECT_EQ(symbol.bytes, Bytes(text)) << "version " << v << " level " << level;
            EXPECT_EQ(symbol.ecLevel, kLevelNames[level]) << "version " << v;
            EXPECT_FALSE(symbol.mirrored);
            EXPECT_EQ(symbol.orientation, 0);
        }
}

TEST_F(QRCode, ZXingReadsNumericAlphanumericAndEveryMask)
{
    const std::pair<int, std::string> samples[] = {
        {CQRCodeEncoder::ModeNumeric, "0"},
        {CQRCodeEncoder::ModeNumeric, "01234567"},
        {CQRCodeEncoder::ModeNumeric, std::string(1000, '5') + "12"},
        {CQRCodeEncoder::ModeAlphanumeric, "HELLO WORLD"},
        {CQRCodeEncoder::ModeAlphanumeric, "Q"},
        {CQRCodeEncoder::ModeAlphanumeric, "HTTP://QUILLBAR.EXAMPLE/$25%+*-.:" + std::string(400, 'Z')},
    };
    for (const auto& [mode, text] : samples)
        for (int mask = 0; mask < 8; ++mask) {
            CQRCodeEncoder encoder;
            encoder.SetDataMode(mode);
            encoder.SetForcedMask(mask);
            const auto symbol = Read(Render(encoder, QString::fromStdString(text)));
            EXPECT_EQ(encoder.GetMask(), mask);
            EXPECT_EQ(symbol.bytes, Bytes(text)) << text.substr(0, 20) << " mask " << mask;
            EXPECT_EQ(symbol.ecLevel, "M");
            EXPECT_FALSE(symbol.mirrored);
            EXPECT_EQ(symbol.orientation, 0);
        }
}

TEST_F(QRCode, TextGoesThroughTheCodePage)
{
    CQRCodeEncoder encoder;
    EXPECT_EQ(Read(Render(encoder, QStringLiteral("Grüße €"))).bytes,
              Bytes("Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC"));
    encoder.SetCodePage(1252);
    encoder.Clear();
    EXPECT_EQ(Read(Render(encoder, QStringLiteral("Grüße €"))).bytes, Bytes("Gr\xFC\xDF" "e \x80"));
}

TEST(QRInflate, DamagedStreamsAndFilesLeaveNothingHalfDone)
{
    const QByteArray plain(70000, 'q');
    const QByteArray packed = qCompress(plain).mid(4);  // qCompress puts a length before the stream
    QByteArray out;
    ASSERT_TRUE(InflateBytes(packed, out));
    EXPECT_EQ(out, plain);
    EXPECT_FALSE(InflateBytes(packed.left(packed.size() - 3), out));
    EXPECT_TRUE(out.isEmpty());
    EXPECT_FALSE(InflateBytes(packed + "x", out));
    EXPECT_FALSE(InflateBytes(packed, out, 1000));
    EXPECT_FALSE(InflateBytes(QByteArray("not zlib"), out));

    const QString dir = QDir::tempPath() + QStringLiteral("/qb-inflate-%1").arg(QCoreApplication::applicationPid());
    QDir().mkpath(dir);
    auto write = [](const QString& path, const QByteArray& bytes) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    };
    auto read = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    ASSERT_TRUE(write(dir + "/good.z", packed) && write(dir + "/bad.z", packed.left(packed.size() / 2)));
    ASSERT_TRUE(write(dir + "/out", "old"));
    EXPECT_FALSE(InflateFile(dir + "/bad.z", dir + "/out"));
    EXPECT_EQ(read(dir + "/out"), QByteArray("old"));
    EXPECT_TRUE(InflateFile(dir + "/good.z", dir + "/out"));
    EXPECT_EQ(read(dir + "/out"), plain);
    EXPECT_EQ(QDir(dir).entryList(QDir::Files).size(), 3);  // no temporary left beside it
    QDir(dir).removeRecursively();
}

TEST_F(QRCode, MissingTablesGiveNoSymbol)
{
    CQRCodeResourceManager::GetInstance().ClearCache();
    CResourceModule::Get().Load(QStringLiteral("/nonexistent/QuillbarResources.rcc"), QStringLiteral("ENU"));
    CQRCodeEncoder encoder;
    EXPECT_EQ(encoder.GetSymbolSize(QStringLiteral("12345678")), CSize(0, 0));
    EXPECT_FALSE(encoder.Overflowed());
    LoadTables();
    encoder.Clear();
    EXPECT_EQ(encoder.GetSymbolSize(QStringLiteral("12345678")), CSize(21, 21));
}
